#pragma once

// What the page area shows when the page process has crashed, hung or could not start: the
// same card as our error page, drawn by the program itself, with the retry button in the same
// place. The retry starts a new page process.

#include <QWidget>

#include <functional>

class QPushButton;

class CPageFailureView : public QWidget
{
public:
    CPageFailureView(QWidget* parent, std::function<void()> retry);
    // Offers the retry only for an address the error page would offer it for.
    void SetRetryOffered(bool offered);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect Card() const;

    QPushButton* m_retry;
};
