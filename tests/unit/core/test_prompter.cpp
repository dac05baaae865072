#include "core/prompter.h"

#include <gtest/gtest.h>

using namespace ravlen;

TEST(Prompter, BarFiltersBecomeQtFilters) {
    EXPECT_EQ(qtFilterFromBar("DICOM Files (*.dcm)|*.dcm|All Files (*.*)|*.*"),
              "DICOM Files (*.dcm) (*.dcm);;All Files (*.*) (*.*)");
    EXPECT_EQ(qtFilterFromBar("Pictures|*.bmp;*.jpg"), "Pictures (*.bmp *.jpg)");
    EXPECT_EQ(qtFilterFromBar(""), QString());
}

TEST(Prompter, ScriptedAnswersInOrderThenDefaults) {
    ScriptedPrompter p;
    p.buttonAnswers = {Prompter::No};
    p.inputAnswers = {"42"};
    p.fileAnswers = {{"/tmp/a.dcm", "/tmp/b.dcm"}};
    EXPECT_EQ(
        p.message("Delete?", Prompter::Icon::Question, Prompter::Yes | Prompter::No, {}, nullptr),
        Prompter::No);
    EXPECT_EQ(
        p.message("Again?", Prompter::Icon::Question, Prompter::Yes | Prompter::No, {}, nullptr),
        Prompter::Yes);
    EXPECT_EQ(p.input("Level?", {}, "40", nullptr), "42");
    EXPECT_EQ(p.input("Width?", {}, "400", nullptr), "400");
    EXPECT_EQ(p.openFiles("Open", "*|*", true, {}, nullptr).size(), 2);
    EXPECT_TRUE(p.saveFile("Save", "*|*", {}, nullptr).isEmpty());
    EXPECT_EQ(p.messages(), QStringList({"Delete?", "Again?"}));
    ASSERT_EQ(p.records.size(), 6u);
    EXPECT_EQ(p.records[2].kind, ScriptedPrompter::Record::Input);
}

TEST(Prompter, GlobalSeamTakesAnInstalledDouble) {
    auto scripted = std::make_unique<ScriptedPrompter>();
    ScriptedPrompter *raw = scripted.get();
    setPrompter(std::move(scripted));
    prompter().message("No Images to manipulate!");
    EXPECT_EQ(raw->messages(), QStringList{"No Images to manipulate!"});
    setPrompter(nullptr);
}
