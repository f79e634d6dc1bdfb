#pragma once

// The movement history as a small bar chart: one bar per session of the last 14 days, its
// height the minutes to ten (a session that never got there reaches the top, in grey),
// today's bars darker, and her usual time as a dashed line.

#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

struct KickBar
{
    double minutes = 0;
    bool reachedTen = true;
    bool today = false;
    QString label; // the day, "M/D"
};

class KickChart : public QWidget
{
public:
    explicit KickChart(QWidget* parent = nullptr);
    void SetBars(std::vector<KickBar> bars, std::optional<double> usualMinutes);
    const std::vector<KickBar>& Bars() const { return m_bars; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<KickBar> m_bars;
    std::optional<double> m_usual;
};
