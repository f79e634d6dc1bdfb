// Feeds arbitrary bytes to the version list reader, as the server's list and as the
// installed one, and checks what the worker would do with them: no staged path leaves the
// staging folder, nothing is staged when the versions agree, and the list of staged files
// reads back with the same entries in the same order.

#include "host/xml_text.h"
#include "update/update_worker.h"

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

const char kOtherList[] = "<version v=\"4.0.0\">\n"
                          "<file p=\"Release\\Tavro\" v=\"4.0.0\" />\n"
                          "<file p=\"Release\\data\\tavro_tip.db\" v=\"4.0.0\" />\n"
                          "<file p=\"Skin\\Default.skn\" v=\"4.0.0\" />\n"
                          "</version>\n";

void CheckPlan(const TiXmlDocument& server, const TiXmlDocument& installed)
{
    const auto plan = PlanUpdate(server, installed);
    if (!plan)
        return;
    if (!plan->differentVersion)
        Check(plan->files.empty(), "files staged while the versions agree");
    for (const PlannedFile& file : plan->files) {
        if (!file.relative)
            continue;
        Check(file.p.has_value(), "a path without a p attribute");
        const std::filesystem::path staged =
            (std::filesystem::path("/staging") / *file.relative).lexically_normal();
        const std::string text = staged.generic_string();
        Check(text.rfind("/staging/", 0) == 0 && text.size() > 9, "a staged path leaves staging");
    }

    TiXmlDocument again;
    Check(ParseXmlText(again, StagedFileListText(plan->files)), "update.xml does not parse");
    const TiXmlElement* list = again.FirstChildElement();
    Check(list && std::string(list->Value()) == "List", "update.xml has no List");
    const TiXmlElement* element = list->FirstChildElement();
    for (const PlannedFile& file : plan->files) {
        Check(element != nullptr, "update.xml lost an entry");
        const char* p = element->Attribute("p");
        const char* v = element->Attribute("v");
        Check(file.p ? p && *file.p == p : !p, "update.xml changed a p");
        Check(file.v ? v && *file.v == v : !v, "update.xml changed a v");
        element = element->NextSiblingElement();
    }
    Check(element == nullptr, "update.xml gained an entry");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TiXmlDocument fuzzed;
    ParseServerList(fuzzed, bytes);
    TiXmlDocument other;
    ParseXmlText(other, kOtherList);
    CheckPlan(fuzzed, other);
    TiXmlDocument installed;
    ParseXmlText(installed, bytes);
    CheckPlan(other, installed);
    return 0;
}
