#include "track/track_book.h"

#include "host/file_io.h"
#include "host/services.h"
#include "host/text_codec.h"
#include "track/track_prompts.h"

#include <QString>

#include <algorithm>

Q_LOGGING_CATEGORY(lcTrack, "tavro.track", QtWarningMsg)

namespace {

constexpr const wchar_t* kCaption = L"Tavro";

} // namespace

TrackBook::TrackBook(const std::wstring& programDir) : m_programDir(programDir)
{
    m_watch.setSingleShot(true);
    QObject::connect(&m_watch, &QTimer::timeout, [this] { CheckKickSession(); });
}

std::string TrackBook::Path() const
{
    return QString::fromStdWString(m_programDir + L"/Release/conf/records.db").toStdString();
}

std::optional<QPoint> TrackBook::Place(const std::wstring& window) const
{
    const auto found = m_places.find(window);
    return found == m_places.end() ? std::nullopt : std::optional<QPoint>(found->second);
}

TrackRecords* TrackBook::Records()
{
    if (m_records.IsOpen())
        return &m_records;
    if (m_bTried)
        return nullptr;
    m_bTried = true;
    // The conf folder normally exists beside the profile; a missing one is made.
    const std::string path = Path();
    EnsureFolder(path.substr(0, path.find_last_of('/')));
    switch (m_records.Open(path)) {
    case TrackRecords::OpenState::Opened:
        return &m_records;
    case TrackRecords::OpenState::SetAside:
        CurrentServices().messageBox->Show(L"胎动和宫缩记录文件已损坏，无法读取。它已改名保存为\n" +
                                               Utf8ToWide(m_records.SetAsideName()) +
                                               L"\n新的记录从现在开始。",
                                           kCaption, BoxIcon::Warning);
        return &m_records;
    case TrackRecords::OpenState::Failed:
        break;
    }
    CurrentServices().messageBox->Show(L"无法打开胎动和宫缩记录文件：\n" + Utf8ToWide(path) +
                                           L"\n本次记录不能保存。",
                                       kCaption, BoxIcon::Error);
    return nullptr;
}

void TrackBook::Resume()
{
    if (!IsRegularFile(Path()))
        return;
    CheckKickSession();
}

void TrackBook::CheckKickSession()
{
    TrackRecords* records = Records();
    const std::optional<KickSession> running =
        records ? records->RunningKickSession() : std::nullopt;
    if (!running) {
        m_watch.stop();
        return;
    }
    const std::int64_t now = CurrentServices().clock->Now();
    if (KickOutcomeAt(*running, now) == KickOutcome::TimedOut) {
        m_watch.stop();
        records->EndKickSession(running->id, running->started + kKickLimitSeconds,
                                KickOutcome::TimedOut);
        qCInfo(lcTrack).noquote() << "kick session" << running->id << "timed out at"
                                  << running->count;
        if (onKickSessionEnded)
            onKickSessionEnded();
        CurrentServices().messageBox->Show(L"从 " + Utf8ToWide(LocalClockText(running->started)) +
                                               L" 开始的2小时内，胎动不满10次（" +
                                               std::to_wstring(running->count) + L"次）。\n" +
                                               kGoToHospital + L"。",
                                           L"数胎动", BoxIcon::Warning);
        return;
    }
    // A second past the deadline, so the check then finds the session timed out.
    const std::int64_t left = running->started + kKickLimitSeconds - now + 1;
    m_watch.start(
        static_cast<int>(std::clamp<std::int64_t>(left, 1, kKickLimitSeconds + 1) * 1000));
}

void TrackBook::Export()
{
    TrackRecords* records = Records();
    if (!records)
        return;
    const std::string day = LocalTimeText(CurrentServices().clock->Now(), "%Y%m%d");
    const std::optional<std::wstring> file =
        CurrentTrackPrompts().SaveFileName(L"Tavro记录-" + Utf8ToWide(day) + L".csv");
    if (!file)
        return;
    const std::string path = QString::fromStdWString(*file).toStdString();
    if (WriteFileAtomically(path, records->ExportCsv()).Ok())
        CurrentServices().messageBox->Show(L"记录已导出到\n" + *file, kCaption,
                                           BoxIcon::Information);
    else
        CurrentServices().messageBox->Show(L"无法写入\n" + *file + L"\n记录没有导出。", kCaption,
                                           BoxIcon::Error);
}
