#include "formats/puppet.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string Message(const std::string& text)
{
    try
    {
        ReadPuppet(text);
    }
    catch (const EPuppetError& e)
    {
        return e.what();
    }
    return "accepted";
}
} // namespace

TEST(Puppet, ReadsModesActionsAndJoints)
{
    const TPuppet pup = ReadPuppet("# the format notes' example\r\n"
                                   "MODE=0\r\n"
                                   "stand      hrstand.key   0x00  1  1\r\n"
                                   "walk       hrwalk.key    0x00  1  1\r\n"
                                   "run        hrrun.key     0x00  2\r\n"
                                   "death      hrdie.key     2C  4  5\r\n"
                                   "mode=1 basedon=0\r\n"
                                   "WALK       hrwalk2.key\r\n"
                                   "fire       none\r\n"
                                   "joints\r\n"
                                   "0=4\r\n"
                                   "1=5\r\n"
                                   "end\r\n");
    ASSERT_EQ(pup.Modes.size(), 2u);
    const TPuppetMode& m0 = pup.Modes[0];
    EXPECT_EQ(m0.Number, 0);
    ASSERT_EQ(m0.Actions.size(), 4u);
    EXPECT_EQ(m0.Actions[2].Key, "hrrun.key");
    EXPECT_EQ(m0.Actions[2].LowPriority, 2);
    EXPECT_EQ(m0.Actions[2].HighPriority, 2); // defaults to the low one
    EXPECT_EQ(m0.Actions[3].Flags, 0x2Cu);
    EXPECT_EQ(m0.Actions[3].HighPriority, 5);
    EXPECT_EQ(m0.Actions[3].Line, 6);

    const TPuppetMode& m1 = pup.Modes[1];
    EXPECT_EQ(m1.BasedOn, 0);
    ASSERT_EQ(m1.Actions.size(), 5u);
    // Its own walk replaces the copied one in place, with the defaults.
    EXPECT_EQ(m1.Actions[1].Key, "hrwalk2.key");
    EXPECT_FALSE(m1.Actions[1].Inherited);
    EXPECT_EQ(m1.Actions[1].LowPriority, 0);
    EXPECT_TRUE(m1.Actions[0].Inherited);
    EXPECT_FALSE(PuppetActionHasKey(m1.Actions[4]));
    EXPECT_TRUE(PuppetActionHasKey(m1.Actions[0]));

    ASSERT_EQ(pup.Joints.size(), 2u);
    EXPECT_EQ(pup.Joints[1].BodyPart, 1);
    EXPECT_EQ(pup.Joints[1].Node, 5);
    EXPECT_TRUE(pup.Warnings.empty());
}

TEST(Puppet, RejectsMalformedNumbersAndWarnsOfWhatItIgnores)
{
    EXPECT_EQ(Message("mode=x\n"),
              "Puppet file, line 1: mode= must be a whole number of at least 0");
    EXPECT_EQ(Message("mode=0\nmode=1 basedon=-1\n"),
              "Puppet file, line 2: basedon= must be a whole number of at least 0");
    EXPECT_EQ(Message("\n\nstand a.key 0xZZ\n"),
              "Puppet file, line 3: an action's flags must be a hexadecimal number");
    EXPECT_EQ(Message("stand a.key 0 1 high\n"),
              "Puppet file, line 1: an action's priorities must be whole numbers");
    EXPECT_EQ(Message("joints\n0=4\n1 = 5\nend\n"),
              "Puppet file, line 3: a joint is BODYPART=NODE, two whole numbers");

    const TPuppet pup = ReadPuppet("stand a.key\nmode=2 basedon=7\nlonely\njoints\n0=1\n");
    ASSERT_EQ(pup.Modes.size(), 2u);
    EXPECT_EQ(pup.Modes[0].Number, 0); // actions before any mode line
    EXPECT_FALSE(pup.Modes[1].BasedOn.has_value());
    ASSERT_EQ(pup.Warnings.size(), 3u);
    EXPECT_EQ(pup.Warnings[0],
              "Puppet file, line 2: mode 7 is not defined above it; basedon is ignored");
    EXPECT_EQ(pup.Warnings[1],
              "Puppet file, line 3: a line of one word is not an action; it is ignored");
    EXPECT_EQ(pup.Warnings[2], "Puppet file, line 6: the joints block has no end");
}

TEST(Puppet, CopiesAreBoundedByTheActionLimit)
{
    // Each mode copies the one before: without a limit a small file would fill the memory.
    std::string text = "mode=0\n";
    for (int i = 0; i < 300; ++i)
        text += "action" + std::to_string(i) + " a.key\n";
    for (int m = 1; m < 400; ++m)
        text += "mode=" + std::to_string(m) + " basedon=" + std::to_string(m - 1) + "\n";
    EXPECT_EQ(Message(text), "Puppet file, line 519: the puppet has more actions than it can");
}
