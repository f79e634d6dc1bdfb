// A stand-in for the page process that answers the program's channel without an engine, so
// that the program's side is tested quickly and without a display. What it does with an
// address depends on words in it: "alert" raises a box first, "fail" asks for the error page
// and raises it as a box, "crash" ends the process, "hang" stops answering. Each start
// appends its pid to the file named by FAKE_PAGE_STARTS.

#include "web/page_channel.h"
#include "web/page_process.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

PageMessageReader reader;

void Send(PageMessageKind kind, std::vector<std::string> fields = {})
{
    const std::string frame = EncodePageMessage({kind, std::move(fields)});
    if (::write(kPageChannelFd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
        std::_Exit(1);
}

PageMessage Receive()
{
    for (;;) {
        if (auto message = reader.Next())
            return *message;
        char buffer[4096];
        const ssize_t got = ::read(kPageChannelFd, buffer, sizeof buffer);
        if (got <= 0)
            std::_Exit(0);
        reader.Feed(buffer, static_cast<std::size_t>(got));
        if (reader.Broken())
            std::_Exit(1);
    }
}

PageMessage ReceiveKind(PageMessageKind kind)
{
    for (;;) {
        PageMessage message = Receive();
        if (message.kind == kind)
            return message;
        if (message.kind == PageMessageKind::Ping)
            Send(PageMessageKind::Pong);
    }
}

void Navigate(const std::string& url)
{
    if (url.find("crash") != std::string::npos)
        std::_Exit(3);
    if (url.find("hang") != std::string::npos)
        for (;;)
            ::pause();
    const bool fail = url.find("fail") != std::string::npos;
    std::string box = url.find("alert") != std::string::npos ? "page says hello" : "";
    if (fail) {
        Send(PageMessageKind::ErrorPageAsk, {url, "503"});
        box = ReceiveKind(PageMessageKind::ErrorPageAnswer).Field(0);
    }
    if (!box.empty()) {
        Send(PageMessageKind::Alert, {box});
        ReceiveKind(PageMessageKind::AlertDone);
    }
    Send(PageMessageKind::LoadFinished, {fail ? "0" : "1"});
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2 || !TieToParent(std::atoi(argv[1])))
        return 2;
    if (const char* starts = std::getenv("FAKE_PAGE_STARTS")) {
        if (FILE* file = std::fopen(starts, "a")) {
            std::fprintf(file, "%d\n", static_cast<int>(::getpid()));
            std::fclose(file);
        }
    }
    for (;;) {
        const PageMessage message = Receive();
        switch (message.kind) {
        case PageMessageKind::Configure:
            Send(PageMessageKind::Ready);
            break;
        case PageMessageKind::Attach:
            Send(PageMessageKind::Attached);
            break;
        case PageMessageKind::Navigate:
            Navigate(message.Field(0));
            break;
        case PageMessageKind::Detach:
            Send(PageMessageKind::Detached);
            break;
        case PageMessageKind::Ping:
            Send(PageMessageKind::Pong);
            break;
        case PageMessageKind::Quit:
            return 0;
        default:
            break;
        }
    }
}
