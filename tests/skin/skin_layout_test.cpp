#include "skin/skin_layout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

const SkinControlDef* FindDef(const std::vector<SkinControlDef>& controls, const QString& name)
{
    for (const auto& control : controls) {
        if (control.name == name)
            return &control;
        if (const auto* found = FindDef(control.children, name))
            return found;
    }
    return nullptr;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(SkinLayout, ReadsFormsNestedControlsAndTheirAttributes)
{
    const SkinLayout layout = ParseSkinLayout(R"(<?xml version="1.0" encoding="UTF-8"?>
<skin>
  <form name="A" width="300" height="200" translucent="0">
    <control name="card" type="panel" x="10" y="20" width="100" height="50" class="card">
      <control name="title" type="label" x="5" y="6" width="90" height="20" text="标题"/>
    </control>
    <control name="bar" type="scrollbar" width="6" height="40" target="edit"/>
  </form>
  <form name="B" width="1" height="1"/>
</skin>)");
    ASSERT_TRUE(layout.error.isEmpty()) << layout.error.toStdString();
    ASSERT_EQ(layout.forms.size(), 2u);
    const SkinFormDef* form = layout.FindForm(QStringLiteral("A"));
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->size, QSize(300, 200));
    EXPECT_EQ(form->attributes.value(QStringLiteral("translucent")), QStringLiteral("0"));
    ASSERT_EQ(form->controls.size(), 2u);

    const SkinControlDef& card = form->controls[0];
    EXPECT_EQ(card.type, SkinControlType::Panel);
    EXPECT_EQ(card.geometry, QRect(10, 20, 100, 50));
    EXPECT_EQ(card.Attribute(QStringLiteral("class")), QStringLiteral("card"));
    // Geometry and identity are not left among the free attributes.
    EXPECT_FALSE(card.attributes.contains(QStringLiteral("width")));
    ASSERT_EQ(card.children.size(), 1u);
    EXPECT_EQ(card.children[0].type, SkinControlType::Label);
    EXPECT_EQ(card.children[0].geometry, QRect(5, 6, 90, 20));
    EXPECT_EQ(card.children[0].Attribute(QStringLiteral("text")), QStringLiteral("标题"));

    // x and y default to 0.
    EXPECT_EQ(form->controls[1].geometry, QRect(0, 0, 6, 40));
    EXPECT_EQ(layout.FindForm(QStringLiteral("C")), nullptr);
}

TEST(SkinLayout, RejectsADamagedFileAsAWhole)
{
    struct Case
    {
        const char* what;
        const char* text;
    };
    const Case cases[] = {
        {"not XML", "this is not a layout"},
        {"empty", ""},
        {"unclosed", "<skin><form name=\"A\" width=\"1\" height=\"1\">"},
        {"wrong root", "<layout><form name=\"A\" width=\"1\" height=\"1\"/></layout>"},
        {"negative form width", "<skin><form name=\"A\" width=\"-5\" height=\"10\"/></skin>"},
        {"zero form height", "<skin><form name=\"A\" width=\"5\" height=\"0\"/></skin>"},
        {"form without size", "<skin><form name=\"A\"/></skin>"},
        {"negative control height",
         "<skin><form name=\"A\" width=\"9\" height=\"9\"><control name=\"c\" type=\"label\" "
         "width=\"3\" height=\"-1\"/></form></skin>"},
        {"huge control",
         "<skin><form name=\"A\" width=\"9\" height=\"9\"><control name=\"c\" type=\"label\" "
         "width=\"99999999\" height=\"1\"/></form></skin>"},
        {"size not a number", "<skin><form name=\"A\" width=\"9px\" height=\"9\"/></skin>"},
        {"form without name", "<skin><form width=\"9\" height=\"9\"/></skin>"},
        {"control without name",
         "<skin><form name=\"A\" width=\"9\" height=\"9\"><control type=\"label\" "
         "width=\"1\" height=\"1\"/></form></skin>"},
        {"unknown type",
         "<skin><form name=\"A\" width=\"9\" height=\"9\"><control name=\"c\" type=\"slider\" "
         "width=\"1\" height=\"1\"/></form></skin>"},
        {"duplicate form", "<skin><form name=\"A\" width=\"9\" height=\"9\"/>"
                           "<form name=\"A\" width=\"9\" height=\"9\"/></skin>"},
        {"duplicate control in nested levels",
         "<skin><form name=\"A\" width=\"9\" height=\"9\"><control name=\"c\" type=\"panel\" "
         "width=\"1\" height=\"1\"><control name=\"c\" type=\"label\" width=\"1\" "
         "height=\"1\"/></control></form></skin>"},
        {"control named like its form",
         "<skin><form name=\"A\" width=\"9\" height=\"9\"><control name=\"A\" type=\"label\" "
         "width=\"1\" height=\"1\"/></form></skin>"},
        {"foreign element", "<skin><form name=\"A\" width=\"9\" height=\"9\"><button "
                            "name=\"b\" width=\"1\" height=\"1\"/></form></skin>"},
    };
    for (const Case& c : cases) {
        // A valid form first, so that a partial result would show.
        std::string text = c.text;
        const auto at = text.find("<skin>");
        if (at != std::string::npos)
            text.insert(at + 6, "<form name=\"Good\" width=\"10\" height=\"10\"/>");
        const SkinLayout layout = ParseSkinLayout(text);
        EXPECT_TRUE(layout.forms.empty()) << c.what;
        EXPECT_FALSE(layout.error.isEmpty()) << c.what;
    }
}

TEST(SkinLayout, RefusesNestingBeyondTheLimitAndOversizedFiles)
{
    std::string deep = "<skin><form name=\"A\" width=\"9\" height=\"9\">";
    for (int i = 0; i <= kMaxNesting; ++i)
        deep +=
            "<control name=\"c" + std::to_string(i) + "\" type=\"panel\" width=\"1\" height=\"1\">";
    for (int i = 0; i <= kMaxNesting; ++i)
        deep += "</control>";
    deep += "</form></skin>";
    EXPECT_TRUE(ParseSkinLayout(deep).forms.empty());

    // Far deeper than a parser's stack would survive: turned away before parsing.
    std::string hostile = "<skin><form name=\"A\" width=\"9\" height=\"9\">";
    for (int i = 0; i < 200000; ++i)
        hostile += "<a>";
    EXPECT_FALSE(ParseSkinLayout(hostile).error.isEmpty());

    // Deep nesting that is not an element does not count.
    std::string flat = "<skin><!--";
    for (int i = 0; i < 100; ++i)
        flat += "<a>";
    flat += "--><form name=\"A\" width=\"9\" height=\"9\" note=\"<<<>\"/></skin>";
    EXPECT_EQ(ParseSkinLayout(flat).forms.size(), 1u);

    std::string big = "<skin><form name=\"A\" width=\"9\" height=\"9\"/>";
    big += "<!--" + std::string(kMaxLayoutBytes, 'x') + "--></skin>";
    const SkinLayout layout = ParseSkinLayout(big);
    EXPECT_TRUE(layout.forms.empty());
    EXPECT_FALSE(layout.error.isEmpty());
}

// The windows look these controls up by name; a skin edit that loses one breaks a window.
TEST(SkinLayout, ShippedLayoutHasEveryFormAndControlTheWindowsUse)
{
    const SkinLayout layout =
        ParseSkinLayout(ReadText(TAVRO_SOURCE_DIR "/package/Skin/RizIrozara.dui"));
    ASSERT_TRUE(layout.error.isEmpty()) << layout.error.toStdString();

    struct Need
    {
        const char* form;
        std::vector<std::pair<const char*, SkinControlType>> controls;
    };
    const Need needs[] = {
        {"Main16",
         {{"frmPic1", SkinControlType::Picture},
          {"StaWeek", SkinControlType::Label},
          {"StaDay1", SkinControlType::Label},
          {"StaDay2", SkinControlType::Label},
          {"StaDay3", SkinControlType::Label},
          {"StaDay4", SkinControlType::Label},
          {"StaDay5", SkinControlType::Label},
          {"StaDay6", SkinControlType::Label},
          {"StaDay7", SkinControlType::Label},
          {"StaTitle", SkinControlType::Label},
          {"EditContent", SkinControlType::Edit},
          {"ScrollBar1", SkinControlType::ScrollBar}}},
        {"Main17", {{"frmMain1", SkinControlType::Picture}}},
        {"Main18",
         {{"btnGo", SkinControlType::Button},
          {"btnOk", SkinControlType::Button},
          {"btnCancel", SkinControlType::Button},
          {"cbx1", SkinControlType::Combo},
          {"cbx2", SkinControlType::Combo},
          {"cbx3", SkinControlType::Combo}}},
        {"Main20",
         {{"btnClose", SkinControlType::Button},
          {"btnMin", SkinControlType::Button},
          {"btnSet", SkinControlType::Button},
          {"HwndObjNet", SkinControlType::Holder}}},
        {"Loading1", {{"Animate1", SkinControlType::Animation}}},
    };
    for (const Need& need : needs) {
        const SkinFormDef* form = layout.FindForm(QString::fromLatin1(need.form));
        ASSERT_NE(form, nullptr) << need.form;
        for (const auto& [name, type] : need.controls) {
            const SkinControlDef* control = FindDef(form->controls, QString::fromLatin1(name));
            ASSERT_NE(control, nullptr) << need.form << "/" << name;
            EXPECT_EQ(control->type, type) << need.form << "/" << name;
        }
    }
    // The daily pictures are made at the frame's size, and the main window's size is fixed.
    const SkinFormDef* popup = layout.FindForm(QStringLiteral("Main16"));
    EXPECT_EQ(FindDef(popup->controls, QStringLiteral("frmPic1"))->geometry.size(),
              QSize(280, 180));
    EXPECT_EQ(layout.FindForm(QStringLiteral("Main20"))->size, QSize(601, 630));
    EXPECT_EQ(
        FindDef(popup->controls, QStringLiteral("ScrollBar1"))->Attribute(QStringLiteral("target")),
        QStringLiteral("EditContent"));
}
