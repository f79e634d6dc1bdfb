// The program's side of the page process, against a stand-in process (fake_page.cpp): loads,
// boxes and error pages go through the channel; a page process that dies fails the load and
// leaves our card with a retry that starts a new one; a closed view leaves its process for a
// quick reopen, and it ends after the wait.

#include "wait_for.h"
#include "web/error_page.h"
#include "web/page_failure_view.h"
#include "web/remote_web_module.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

class RemotePage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_starts = m_dir.filePath(QStringLiteral("starts"));
        qputenv("FAKE_PAGE_STARTS", m_starts.toLocal8Bit());
        m_module = std::make_unique<CRemoteWebModule>(QStringLiteral(FAKE_PAGE), 300ms);
        m_host.showMessage = [this](const std::wstring& text, const std::wstring& caption,
                                    BoxIcon) {
            m_boxes.push_back(QString::fromStdWString(caption + L": " + text).toStdString());
        };
        m_host.errorPage = [](const std::string& url, int status) {
            return "our page for " + url + " " + std::to_string(status);
        };
        m_parent.resize(600, 580);
        m_parent.show();
    }
    void TearDown() override
    {
        m_module->DestroyAllViews();
        for (int pid : Starts())
            EXPECT_NE(::kill(pid, 0), 0) << "page process " << pid << " left running";
        qunsetenv("FAKE_PAGE_STARTS");
    }

    IBrowserView* NewView()
    {
        IBrowserView* view = m_module->CreateView(&m_parent, m_parent.rect(), m_host);
        view->SetLoadFinished([this](bool ok) { m_loads.push_back(ok); });
        return view;
    }
    // Navigates and waits for the report; its outcome, or nothing when none came.
    std::optional<bool> Load(IBrowserView* view, const std::string& url)
    {
        const std::size_t before = m_loads.size();
        view->Navigate(QString::fromStdString(url));
        if (!WaitFor([&] { return m_loads.size() > before; }, 10000))
            return std::nullopt;
        return m_loads.back();
    }
    std::vector<int> Starts() const
    {
        QFile file(m_starts);
        std::vector<int> pids;
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray& line : file.readAll().split('\n'))
                if (!line.isEmpty())
                    pids.push_back(line.toInt());
        return pids;
    }
    bool CardShown(IBrowserView* view) const
    {
        const auto* card = view->Widget()->findChild<CPageFailureView*>();
        return card && card->isVisible();
    }

    QTemporaryDir m_dir;
    QString m_starts;
    std::unique_ptr<CRemoteWebModule> m_module;
    BrowserHost m_host;
    QWidget m_parent;
    std::vector<std::string> m_boxes;
    std::vector<bool> m_loads;
};

TEST_F(RemotePage, LoadsBoxesAndErrorPagesGoThroughTheChannel)
{
    const struct
    {
        const char* url;
        bool ok;
        std::vector<std::string> boxes;
    } cases[] = {
        {"http://127.0.0.1:1/plain", true, {}},
        {"http://127.0.0.1:1/alert", true, {"Custom Browser: page says hello"}},
        {"http://127.0.0.1:1/fail",
         false,
         {"Custom Browser: our page for http://127.0.0.1:1/fail 503"}},
    };
    IBrowserView* view = NewView();
    for (const auto& c : cases) {
        m_boxes.clear();
        EXPECT_EQ(Load(view, c.url), c.ok) << c.url;
        EXPECT_EQ(view->ReadyState(), READYSTATE_COMPLETE) << c.url;
        EXPECT_EQ(m_boxes, c.boxes) << c.url;
        EXPECT_FALSE(CardShown(view)) << c.url;
    }
    EXPECT_EQ(Starts().size(), 1u) << "every load used the one page process";
}

TEST_F(RemotePage, ADeadPageProcessFailsTheLoadAndTheRetryStartsANewOne)
{
    const char* address = "http://127.0.0.1:1/crash";
    IBrowserView* view = NewView();
    EXPECT_EQ(Load(view, address), false);
    EXPECT_TRUE(CardShown(view));
    ASSERT_EQ(Starts().size(), 1u);

    // The retry goes to the same address: it crashes the new process too, which shows that
    // one was started and that the address was kept.
    auto* retry = view->Widget()->findChild<CPageFailureView*>()->findChild<QPushButton*>();
    ASSERT_NE(retry, nullptr);
    ASSERT_TRUE(retry->isVisibleTo(view->Widget()));
    const std::size_t before = m_loads.size();
    retry->click();
    ASSERT_TRUE(WaitFor([&] { return m_loads.size() > before; }, 10000));
    EXPECT_FALSE(m_loads.back());
    EXPECT_EQ(Starts().size(), 2u);

    // A good address afterwards loads in a third process, and the card goes.
    EXPECT_EQ(Load(view, "http://127.0.0.1:1/plain"), true);
    EXPECT_TRUE(WaitFor([&] { return !CardShown(view); }, 10000));
    EXPECT_EQ(Starts().size(), 3u);
}

TEST_F(RemotePage, AClosedViewLeavesItsProcessForAQuickReopenThenItEnds)
{
    IBrowserView* first = NewView();
    ASSERT_EQ(Load(first, "http://127.0.0.1:1/plain"), true);
    m_module->DestroyView(first);
    EXPECT_TRUE(m_module->HasKeptProcess());

    IBrowserView* second = NewView();
    EXPECT_EQ(Load(second, "http://127.0.0.1:1/plain"), true);
    EXPECT_EQ(Starts().size(), 1u) << "the reopened view did not reuse the kept process";

    m_module->DestroyView(second);
    const int pid = Starts().front();
    EXPECT_TRUE(WaitFor([&] { return !m_module->HasKeptProcess() && ::kill(pid, 0) != 0; }, 10000))
        << "the kept page process did not end after the wait";
}

TEST_F(RemotePage, AProcessThatCannotStartShowsTheCard)
{
    m_module = std::make_unique<CRemoteWebModule>(m_dir.filePath(QStringLiteral("missing")), 300ms);
    IBrowserView* view = NewView();
    EXPECT_EQ(Load(view, "http://127.0.0.1:1/plain"), false);
    EXPECT_TRUE(CardShown(view));
}

} // namespace
