// "Label Details", offscreen: the defaults new labels take, the choosers through the prompt
// seam, and how the window follows the chosen mouse function.
#include "core/prompter.h"
#include "dialogs/labelform.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace ravlen;

namespace {

class LabelFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompts = scripted.get();
        setPrompter(std::move(scripted));
        form = std::make_unique<LabelForm>();
    }
    ScriptedPrompter *prompts = nullptr;
    std::unique_ptr<LabelForm> form;
};

} // namespace

TEST_F(LabelFormTest, ItStartsWithTheDefaultsLabelsTake) {
    const labels::LabelDefaults d = form->defaults();
    EXPECT_EQ(d.shape, 0);
    EXPECT_EQ(d.tie, labels::Tie::Image);
    EXPECT_EQ(d.foreColour, 0x0000FFu) << "red";
    EXPECT_EQ(d.backColour, 0xFFFFFFu);
    EXPECT_EQ(d.font, "Arial");
    EXPECT_EQ(d.fontSize, 12);
    EXPECT_EQ(d.lineWidth, "1");
    EXPECT_EQ(d.alignment, 0);
    EXPECT_TRUE(d.transparent);
    EXPECT_EQ(form->windowTitle(), "Label Details");
    EXPECT_EQ(form->labelTypeTag(), "0");
}

TEST_F(LabelFormTest, ChoicesReachTheDefaultsAndACancelledChooserChangesNothing) {
    form->Alignment[2]->click();
    EXPECT_EQ(form->alignmentTag(), "2");
    form->LabelType[10]->click();
    EXPECT_EQ(form->labelTypeTag(), "10");
    EXPECT_EQ(form->defaults().shape, 10);

    QFont courier(QStringLiteral("Courier New"));
    courier.setPointSize(14);
    courier.setBold(true);
    prompts->fontAnswers.push_back(courier);
    form->FontDisplay_Click();
    EXPECT_EQ(form->FontDisplay->text(), "Courier New Bold");

    form->ForeColour_Click(); // cancelled: the chooser gives the colour back
    prompts->colourAnswers.push_back(QColor(0, 128, 255));
    form->BackColour_Click();
    const labels::LabelDefaults d = form->defaults();
    EXPECT_EQ(d.alignment, 2);
    EXPECT_EQ(d.font, "Courier New Bold");
    EXPECT_EQ(d.fontSize, 14);
    EXPECT_EQ(d.foreColour, 0x0000FFu);
    EXPECT_EQ(d.backColour, 0xFF8000u) << "red in the low byte";
    EXPECT_EQ(prompts->records.front().kind, ScriptedPrompter::Record::Font);
}

TEST_F(LabelFormTest, MeasureHidesTextAndTheTieAndTextShowsThem) {
    form->ImageCell->setChecked(true);
    form->prepareForMouseFunction(5);
    EXPECT_TRUE(form->LabelType[3]->isChecked()) << "text cannot measure: a line instead";
    EXPECT_EQ(form->labelTypeTag(), "3");
    EXPECT_TRUE(form->ImageScale->isChecked());
    EXPECT_FALSE(form->LabelType[0]->isVisibleTo(form.get()));
    EXPECT_FALSE(form->Tied->isVisibleTo(form.get()));
    form->prepareForMouseFunction(8); // other tools leave the window as it is
    EXPECT_FALSE(form->Tied->isVisibleTo(form.get()));
    form->prepareForMouseFunction(4);
    EXPECT_TRUE(form->LabelType[0]->isVisibleTo(form.get()));
    EXPECT_TRUE(form->Tied->isVisibleTo(form.get()));
    form->show();
    form->OK->click();
    EXPECT_FALSE(form->isVisible());
}

TEST(LabelDefaults, TypedLineWidthsFontDescriptionsAndColourValues) {
    const struct {
        const char *typed;
        int width;
    } rows[] = {{"1", 1},   {"7", 7},      {"2.5", 2}, {"3.5", 4}, {"0", 1}, {"-3", 1},
                {"99", 32}, {"1e308", 32}, {"nan", 1}, {"x", 1},   {"", 1}};
    for (const auto &r : rows) {
        EXPECT_EQ(labels::lineWidthOf(QString::fromLatin1(r.typed)), r.width) << r.typed;
    }
    EXPECT_EQ(labels::fontDescription("Arial", true, true), "Arial Bold Italic");
    EXPECT_EQ(labels::fontDescription("Arial", false, true), "Arial Italic");
    EXPECT_EQ(labels::colourValue(255, 0, 0), 0x0000FFu);
}
