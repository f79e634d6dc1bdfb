// Feeds arbitrary bytes to the signed version list reader, as the server's list and as the
// installed one, and checks what the worker would do with them: every path read passes the
// install path rule and stays below the staging folder, the times and sizes read back, and
// the list of staged files reads back with the same entries in the same order.

#include "host/xml_text.h"
#include "update/update_worker.h"
#include "update/version_list.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tinyxml.h>

namespace {

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const char kOtherList[] =
    "<version v=\"4.0.0\" made=\"2026-01-01T00:00:00Z\" expires=\"2027-01-01T00:00:00Z\">\n"
    "<file p=\"Release\\Tavro\" v=\"4.0.0\" size=\"1\" sha256=\""
    "0000000000000000000000000000000000000000000000000000000000000000\" />\n"
    "<file p=\"Skin\\Default.skn\" v=\"4.0.0\" size=\"2\" sha256=\""
    "0000000000000000000000000000000000000000000000000000000000000000\" />\n"
    "</version>\n";

void CheckStaging(const SignedVersionList& server, const TiXmlDocument& installed)
{
    Check(server.made <= server.expires, "a list expiring before it was made");
    Check(ParseUtcTime(FormatUtcTime(server.made)) == server.made, "the made time reads back");
    Check(CompareVersions(server.version, server.version) == 0, "a version that is no number");
    const auto files = FilesToStage(server, installed);
    for (const ListedFile& file : files) {
        Check(IsInstallablePath(file.p), "a staged path the rule refuses");
        Check(InstallableListPath(file.p) == file.relative, "the path rule answers otherwise");
        const std::filesystem::path staged =
            (std::filesystem::path("/staging") / file.relative).lexically_normal();
        const std::string text = staged.generic_string();
        Check(text.rfind("/staging/", 0) == 0 && text.size() > 9, "a staged path leaves staging");
    }

    TiXmlDocument again;
    Check(ParseXmlText(again, StagedFileListText(files)), "update.xml does not parse");
    const TiXmlElement* list = again.FirstChildElement();
    Check(list && std::string(list->Value()) == "List", "update.xml has no List");
    const TiXmlElement* element = list->FirstChildElement();
    for (const ListedFile& file : files) {
        Check(element != nullptr, "update.xml lost an entry");
        const char* p = element->Attribute("p");
        const char* v = element->Attribute("v");
        Check(p && file.p == p, "update.xml changed a p");
        Check(v && file.v == v, "update.xml changed a v");
        element = element->NextSiblingElement();
    }
    Check(element == nullptr, "update.xml gained an entry");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TiXmlDocument other;
    ParseXmlText(other, kOtherList);
    if (const auto fuzzed = ReadSignedVersionList(bytes); fuzzed.list)
        CheckStaging(*fuzzed.list, other);
    else
        Check(!fuzzed.refusal.empty(), "a refusal without its reason");
    TiXmlDocument installed;
    ParseXmlText(installed, bytes);
    const auto server = ReadSignedVersionList(kOtherList);
    Check(server.list.has_value(), "the fixed list is refused");
    CheckStaging(*server.list, installed);
    return 0;
}
