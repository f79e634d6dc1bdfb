#include "track/track_prompts.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

class QtTrackPrompts : public ITrackPrompts
{
public:
    bool Confirm(const std::wstring& text, const std::wstring& yes, const std::wstring& no) override
    {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Tavro"),
                        QString::fromStdWString(text));
        QPushButton* yesButton = box.addButton(QString::fromStdWString(yes), QMessageBox::YesRole);
        QPushButton* noButton = box.addButton(QString::fromStdWString(no), QMessageBox::NoRole);
        box.setDefaultButton(yesButton);
        box.setEscapeButton(noButton);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.exec();
        return box.clickedButton() == yesButton;
    }

    std::optional<std::wstring> SaveFileName(const std::wstring& suggested) override
    {
        const QString name =
            QFileDialog::getSaveFileName(nullptr, QStringLiteral("导出记录"),
                                         QDir::home().filePath(QString::fromStdWString(suggested)),
                                         QStringLiteral("CSV 表格 (*.csv)"));
        if (name.isEmpty())
            return std::nullopt;
        return name.toStdWString();
    }
};

ITrackPrompts* g_prompts = nullptr;

} // namespace

ITrackPrompts& CurrentTrackPrompts()
{
    static QtTrackPrompts qtPrompts;
    return g_prompts ? *g_prompts : qtPrompts;
}

ITrackPrompts* InstallTrackPrompts(ITrackPrompts* const& prompts)
{
    ITrackPrompts* previous = g_prompts;
    g_prompts = prompts;
    return previous;
}
