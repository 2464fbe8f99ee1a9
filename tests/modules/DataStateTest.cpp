// Building the two aggregates, and the modified tracking of the edited one.
#include "modules/DataState.h"

#include <gtest/gtest.h>

using namespace lumex;

namespace {

// A module's device image: one reading, one flag byte, one setting.
class TDevStateTest : public TBaseDevState
{
public:
    TDevStateTest(TDeviceState &aggregate, const std::string &prefix)
        : TBaseDevState(aggregate), Reading(Create<TByteVariable>("OBD:" + prefix + "Reading")),
          Flags(CreateParam<TBoolByteVariable>(0, "OBD:" + prefix + "Flags")),
          Setting(CreateParam<TByteVariable>(10, "OBD:" + prefix + "Setting"))
    {
    }
    TByteVariable &Reading;
    TBoolByteVariable &Flags;
    TByteVariable &Setting;
};

// Its edited twin adds a bit view of the flag byte.
class TUIStateTest : public TDevStateTest
{
public:
    TUIStateTest(TDeviceState &aggregate, TDevStateTest &twin, const std::string &prefix)
        : TDevStateTest(aggregate, prefix), Bit(Create<TBoolByteVariable>("OBD:" + prefix + "Bit", uint8_t{4}, Flags))
    {
        Twin = &twin;
    }
    TBoolByteVariable &Bit;
};

struct Aggregates
{
    TDeviceState dev;
    TUIState ui;
    TDevStateTest devA{dev, "A"}, devB{dev, "B"};
    TUIStateTest uiA{ui, devA, "A"}, uiB{ui, devB, "B"};
    std::vector<std::string> modifiedSections;
    int clearedMarks = 0;

    Aggregates()
    {
        for (TBaseDevState *s : {static_cast<TBaseDevState *>(&uiA), static_cast<TBaseDevState *>(&uiB)})
            s->Publish(1);
        for (TBaseDevState *s : {static_cast<TBaseDevState *>(&uiA), static_cast<TBaseDevState *>(&uiB)})
            s->Publish(2);
        ui.CreateLocalVariables();
        ui.Link(dev);
        ui.OnModifiedChange = [this](const std::string &section) { modifiedSections.push_back(section); };
        ui.OnVariableChange = [this](TVariable *v) {
            if (v == nullptr)
                ++clearedMarks;
        };
    }
};

} // namespace

TEST(DataState, PublishKeepsIndexIAlignedForTheMirroredPart)
{
    Aggregates a;
    ASSERT_EQ(a.dev.Count(), 6u);
    EXPECT_EQ(a.ui.MirroredCount(), 6u);
    for (std::size_t i = 0; i < a.ui.MirroredCount(); ++i) {
        EXPECT_EQ(a.ui[i].Name(), a.dev[i].Name()) << i;
        EXPECT_NE(&a.ui[i], &a.dev[i]);
    }
    // The PC-only bit views follow all mirrored variables of all modules.
    ASSERT_EQ(a.ui.Count(), 9u);
    EXPECT_EQ(a.ui[6].Name(), "ABit");
    EXPECT_EQ(a.ui[7].Name(), "BBit");
    EXPECT_EQ(a.ui[8].Name(), "LocalAdvancedView");
}

TEST(DataState, ADuplicateNameThrows)
{
    TDeviceState dev;
    TDevStateTest first(dev, "A");
    TDevStateTest second(dev, "A");
    first.Publish(1);
    EXPECT_THROW(second.Publish(1), EVariableError);
}

TEST(DataState, DeviceCopiesDoNotMarkAndAUserEditMarksOnce)
{
    Aggregates a;
    a.devA.Setting.SetAsInteger(33);
    a.devB.Reading.SetAsInteger(44);
    a.ui.CopyFromDevState({}, kCopyAll);
    EXPECT_EQ(a.uiA.Setting.GetAsInteger(), 33);
    EXPECT_EQ(a.uiB.Reading.GetAsInteger(), 44);
    EXPECT_FALSE(a.ui.Modified());
    EXPECT_TRUE(a.modifiedSections.empty());

    a.ui.LocalAdvancedView->SetAsBoolean(true);
    EXPECT_FALSE(a.ui.Modified());

    a.uiA.Setting.SetAsInteger(34);
    EXPECT_TRUE(a.ui.Modified());
    a.uiB.Setting.SetAsInteger(35);
    ASSERT_EQ(a.modifiedSections.size(), 1u);
    EXPECT_EQ(a.modifiedSections[0], "OBD");

    a.ui.SetModified(false);
    EXPECT_EQ(a.clearedMarks, 1);
    ASSERT_EQ(a.modifiedSections.size(), 2u);
    EXPECT_EQ(a.modifiedSections[1], "");
    a.ui.SetModified(false);
    EXPECT_EQ(a.modifiedSections.size(), 2u);

    // The user's values go to the image only with the parameters.
    a.ui.CopyToDevState({}, kCopyParams);
    EXPECT_EQ(a.devA.Setting.GetAsInteger(), 34);
}

TEST(DataState, ClearingZeroesOnlyTheMirroredPart)
{
    Aggregates a;
    a.uiA.Flags.SetAsInteger(0x04);
    a.ui.LocalAdvancedView->SetAsBoolean(true);
    ASSERT_TRUE(a.uiA.Bit.GetAsBoolean());
    a.ui.SetModified(false);
    a.ui.ClearAll();
    EXPECT_EQ(a.uiA.Flags.GetAsInteger(), 0);
    EXPECT_FALSE(a.uiA.Bit.GetAsBoolean());
    EXPECT_TRUE(a.ui.LocalAdvancedView->GetAsBoolean());
    EXPECT_FALSE(a.ui.Modified());
}

TEST(DataState, CopiesBeforeLinkingRaise)
{
    TUIState ui;
    EXPECT_THROW(ui.CopyFromDevState({}, kCopyAll), EVariableError);
    EXPECT_THROW(ui.CopyToDevState({}, kCopyAll), EVariableError);
}
