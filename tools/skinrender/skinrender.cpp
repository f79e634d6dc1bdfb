// Renders every form of the staged skin with sample content to PNG files, so that the
// look can be checked without running the program:
//   skinrender <Skin folder> <output folder>
// Runs on the offscreen platform unless another one is chosen.

#include "skin/skin.h"
#include "ui/wnd.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

// A window that only hosts a form.
class SampleWnd : public CWnd
{};

// A pastel sample picture in the size of the popup's frame.
QImage SamplePicture(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor(0xFF, 0xE4, 0xD6));
    sky.setColorAt(1, QColor(0xFB, 0xC8, 0xCF));
    p.fillRect(image.rect(), sky);
    QRadialGradient sun(size.width() * 0.78, size.height() * 0.3, size.height() * 0.3);
    sun.setColorAt(0, QColor(255, 250, 235));
    sun.setColorAt(1, QColor(255, 250, 235, 0));
    p.fillRect(image.rect(), sun);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF4, 0xA6, 0xB2, 170));
    QPainterPath hill;
    hill.moveTo(0, size.height() * 0.78);
    hill.cubicTo(size.width() * 0.3, size.height() * 0.6, size.width() * 0.6, size.height() * 0.95,
                 size.width(), size.height() * 0.72);
    hill.lineTo(size.width(), size.height());
    hill.lineTo(0, size.height());
    p.drawPath(hill);
    // Clouds, and a pair of little footprints in a soft circle.
    p.setBrush(QColor(255, 255, 255, 190));
    for (const QPointF& at : {QPointF(size.width() * 0.16, size.height() * 0.22),
                              QPointF(size.width() * 0.86, size.height() * 0.62)}) {
        p.drawEllipse(at, 26, 11);
        p.drawEllipse(at + QPointF(-14, 3), 16, 9);
        p.drawEllipse(at + QPointF(12, -5), 15, 11);
    }
    const QPointF c(size.width() * 0.5, size.height() * 0.48);
    const qreal r = size.height() * 0.32;
    QRadialGradient glow(c, r);
    glow.setColorAt(0, QColor(255, 255, 255, 235));
    glow.setColorAt(1, QColor(255, 240, 236, 200));
    p.setBrush(glow);
    p.drawEllipse(c, r, r);
    p.setBrush(QColor(0xEE, 0x86, 0x98));
    for (int side : {-1, 1}) {
        p.save();
        p.translate(c + QPointF(side * r * 0.3, side * r * 0.08));
        p.rotate(side * 12);
        p.drawEllipse(QPointF(0, 6), r * 0.17, r * 0.3);
        p.drawEllipse(QPointF(0, -r * 0.3), r * 0.12, r * 0.09);
        const qreal toes[][3] = {{-0.16, -0.5, 0.055},
                                 {-0.05, -0.56, 0.05},
                                 {0.05, -0.55, 0.045},
                                 {0.13, -0.5, 0.04},
                                 {0.19, -0.43, 0.035}};
        for (const auto& toe : toes)
            p.drawEllipse(QPointF(side * toe[0] * r, toe[1] * r), toe[2] * r, toe[2] * r);
        p.restore();
    }
    return image;
}

struct Sample
{
    const wchar_t* form;
    const char* file;
};

SkinControl* Control(SkinForm* form, const wchar_t* name)
{
    return FindControl(form, SKIN_ANY_CONTROL, name, true);
}

void FillReminder(SkinForm* form, QSize pictureSize)
{
    SetPictureBitmap(Control(form, L"frmPic1"), SamplePicture(pictureSize));
    SetLabelText(Control(form, L"StaWeek"), L"25");
    for (int day = 1; day <= 7; ++day) {
        const std::wstring name = L"StaDay" + std::to_wstring(day);
        ShowControl(FindControl(form, SKIN_ANY_CONTROL, name, true), day == 5, day == 5, day == 5);
    }
    SetLabelText(Control(form, L"StaTitle"),
                 L"身长约36.6厘米\n体重约1055克\n有了睡着和醒着的节律\n孕中期即将结束");
    SetEditText(Control(form, L"EditContent"),
                L"宝宝的听觉越来越灵敏了，能分辨出妈妈的声音。每天找一段安静的时间，"
                L"轻轻抚摸肚子，和宝宝说说话、讲讲故事，或者放一段舒缓的音乐。"
                L"这个阶段要注意补充铁和钙，多吃瘦肉、鸡蛋、豆制品和深绿色蔬菜；"
                L"久坐之后起来走一走，睡觉时尽量左侧卧，可以在两腿之间夹一个软枕。"
                L"如果出现头晕、视物模糊或明显水肿，请及时就医。");
    SetScrollPosition(Control(form, L"ScrollBar1"), 0, true, true);
}

void FillDueDate(SkinForm* form, bool firstRun)
{
    const wchar_t* texts[] = {L"2015", L"6", L"15"};
    const wchar_t* names[] = {L"cbx1", L"cbx2", L"cbx3"};
    for (int i = 0; i < 3; ++i) {
        SkinControl* combo = Control(form, names[i]);
        SetComboText(combo, texts[i]);
        const int count = i == 0 ? 2 : i == 1 ? 12 : 30;
        for (int v = 1; v <= count; ++v)
            InsertComboItem(combo, std::to_wstring(i == 0 ? 2014 + v : v), v - 1, 0);
    }
    ShowControl(Control(form, L"btnGo"), firstRun, 0, 0);
    ShowControl(Control(form, L"btnOk"), !firstRun, 0, 0);
    ShowControl(Control(form, L"btnCancel"), !firstRun, 0, 0);
}

// Stands in for the web page in the main window's holder.
QWidget* SamplePage()
{
    auto* page = new QWidget;
    page->setStyleSheet(
        QStringLiteral("QWidget { background: #FFFDFB; } QLabel { color: #8A6A70; font-size: 14px; "
                       "font-family: 'Noto Sans CJK SC'; }"));
    auto* layout = new QVBoxLayout(page);
    auto* label = new QLabel(QStringLiteral("这里显示孕期第180天的网页内容"));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    return page;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: skinrender <Skin folder> <output folder>\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    const QDir skinDir(QString::fromLocal8Bit(argv[1]));
    const QDir outDir(QString::fromLocal8Bit(argv[2]));
    if (!QDir().mkpath(outDir.absolutePath())) {
        std::fprintf(stderr, "skinrender: cannot create %s\n", argv[2]);
        return 1;
    }
    SkinEngine* engine =
        OpenSkinW(skinDir.filePath(QStringLiteral("RizIrozara.dui")).toStdWString(),
                  skinDir.filePath(QStringLiteral("Default.skn")).toStdWString(), 0, 0, 0);

    const Sample samples[] = {
        {L"Main16", "Main16.png"}, {L"Main17", "Main17.png"},
        {L"Main18", "Main18.png"}, {L"Main18", "Main18_settings.png"},
        {L"Main20", "Main20.png"}, {L"Loading1", "Loading1.png"},
    };
    int failures = 0;
    std::vector<std::unique_ptr<SampleWnd>> windows;
    for (const Sample& sample : samples) {
        auto wnd = std::make_unique<SampleWnd>();
        wnd->CreatePopup(nullptr);
        SkinForm* form = AttachForm(engine, sample.form, wnd.get());
        if (!form) {
            ++failures;
            continue;
        }
        const std::string file = sample.file;
        if (file == "Main16.png") {
            QWidget* frame = GetControlWidget(Control(form, L"frmPic1"));
            FillReminder(form, frame ? frame->size() : QSize(280, 180));
        } else if (file.rfind("Main18", 0) == 0) {
            FillDueDate(form, file == "Main18.png");
        } else if (file == "Main20.png") {
            QWidget* page = SamplePage();
            SkinControl* holder = Control(form, L"HwndObjNet");
            if (!BindWindow(holder, page) || !ShowBoundWindow(holder, page))
                delete page;
        } else if (file == "Loading1.png") {
            PlayAnimation(Control(form, L"Animate1"), true, true, true);
        }
        wnd->ShowWindow(SW_SHOW);
        QApplication::processEvents();
        const QPixmap shot = wnd->GetWidget()->grab();
        const QString path = outDir.filePath(QString::fromLatin1(sample.file));
        if (shot.isNull() || !shot.save(path)) {
            std::fprintf(stderr, "skinrender: cannot write %s\n", qPrintable(path));
            ++failures;
        }
        if (file == "Main18.png") {
            // The open day list, as the user sees it.
            auto* days = static_cast<QComboBox*>(GetControlWidget(Control(form, L"cbx3")));
            if (days) {
                days->showPopup();
                QApplication::processEvents();
                if (QWidget* list = days->view() ? days->view()->window() : nullptr)
                    list->grab().save(outDir.filePath(QStringLiteral("Main18_list.png")));
                days->hidePopup();
            }
        }
        windows.push_back(std::move(wnd));
    }
    windows.clear();
    FreeSkin();
    return failures == 0 ? 0 : 1;
}
