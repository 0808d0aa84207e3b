#include "formats/keyframes.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
// The example of the format notes, written in lower case with CR LF, an inline comment and a
// blank line.
const char* const kExample = "section: header\r\n"
                             "flags   0x0014\r\n"
                             "type    0xFFFF\r\n"
                             "frames  40\r\n"
                             "fps     15.000\r\n"
                             "joints  18\r\n"
                             "\r\n"
                             "section: markers\r\n"
                             "markers 2\r\n"
                             " 10.000000 1\r\n"
                             " 30.5 2  # a footstep\r\n"
                             "section: keyframe nodes\r\n"
                             "nodes 1\r\n"
                             "node      3\r\n"
                             "mesh name RThigh\r\n"
                             "entries   2\r\n"
                             "#  num: frame  flags        x y z             p y r\r\n"
                             "   0:      0   0x0003   0 0.5 0   0 0 0\r\n"
                             "                        0 0 0   0 1.5 0\r\n"
                             "   1:     20.5   3   1 2 3   4 30 -6e1\r\n"
                             "                        .5 -1 0   0 0 0\r\n";

std::string Message(const std::string& text)
{
    try
    {
        ReadKeyframes(text);
    }
    catch (const EKeyError& e)
    {
        return e.what();
    }
    return "accepted";
}

std::string Header(const std::string& frames = "20", const std::string& fps = "10")
{
    return "SECTION: HEADER\nFLAGS 0\nTYPE 0\nFRAMES " + frames + "\nFPS " + fps + "\nJOINTS 2\n";
}

const char* const kOneEntryNode =
    "NODE 0\nMESH NAME a\nENTRIES 1\n0: 0 0 0 0 0 0 0 0\n0 0 0 0 0 0\n";
} // namespace

TEST(Keyframes, KeepsEverythingOfTheFile)
{
    const TKeyframes key = ReadKeyframes(kExample);
    EXPECT_EQ(key.Flags, 0x14u);
    EXPECT_EQ(key.Type, 0xFFFFu);
    EXPECT_EQ(key.Frames, 40);
    EXPECT_EQ(key.Fps, 15.0);
    EXPECT_EQ(key.Joints, 18);
    ASSERT_EQ(key.Markers.size(), 2u);
    EXPECT_EQ(key.Markers[1].Frame, 30.5);
    EXPECT_EQ(key.Markers[1].Type, 2);
    ASSERT_EQ(key.Nodes.size(), 1u);
    const TKeyNode& n = key.Nodes[0];
    EXPECT_EQ(n.Index, 3);
    EXPECT_EQ(n.Name, "RThigh");
    EXPECT_EQ(n.Line, 14);
    ASSERT_EQ(n.Entries.size(), 2u);
    EXPECT_EQ(n.Entries[0].Flags, 3u);
    EXPECT_EQ(n.Entries[0].Y, 0.5);
    EXPECT_EQ(n.Entries[0].DYaw, 1.5);
    const TKeyEntry& e = n.Entries[1];
    EXPECT_EQ(e.Frame, 20.5);
    EXPECT_EQ(e.Flags, 3u); // hexadecimal without "0x"
    EXPECT_EQ(e.X + e.Y + e.Z, 6.0);
    EXPECT_EQ(e.Pitch, 4.0);
    EXPECT_EQ(e.Yaw, 30.0);
    EXPECT_EQ(e.Roll, -60.0);
    EXPECT_EQ(e.DX, 0.5);
    EXPECT_EQ(e.DY, -1.0);
    EXPECT_TRUE(key.Warnings.empty());
}

TEST(Keyframes, LineEndsAndEndOfFileByteReadAlike)
{
    std::string lf = kExample;
    std::string cr = kExample;
    for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;)
        lf.erase(at, 1);
    for (std::size_t at; (at = cr.find("\r\n")) != std::string::npos;)
        cr.erase(at + 1, 1);
    for (const std::string& text : {lf, cr, std::string(kExample) + "\x1A garbage"})
    {
        const TKeyframes key = ReadKeyframes(text);
        ASSERT_EQ(key.Nodes.size(), 1u);
        EXPECT_EQ(key.Nodes[0].Line, 14);
        EXPECT_EQ(key.Nodes[0].Entries[1].DX, 0.5);
    }
    // CR alone ends lines too.
    EXPECT_EQ(Message(Header() +
                      "SECTION: KEYFRAME NODES\rNODES 1\rNODE 0\rMESH NAME a\rENTRIES 2\r"
                      "0: 5 0 0 0 0 0 0 0\r0 0 0 0 0 0\r1: 0 0 0 0 0 0 0 0\r0 0 0 0 0 0"),
              "Key file, line 14: the entry's frame is before the frame of the entry above it");
}

TEST(Keyframes, RejectsWhatTheGameRejectsNamingTheLine)
{
    const std::string nodes = "SECTION: KEYFRAME NODES\nNODES 1\n";
    const std::string nineMarkers = "SECTION: MARKERS\nMARKERS 9\n";
    const struct
    {
        std::string text;
        const char* message;
    } cases[] = {
        {"", "Key file, line 1: the file ends before SECTION: HEADER"},
        {"\x7F"
         "ELF\x01\x02\n\x00\x00",
         "Key file, line 1: SECTION: HEADER expected"},
        {"SECTION: HEADER\nTYPE 0\n", "Key file, line 2: FLAGS expected"},
        {"SECTION: HEADER\nFLAGS 0x1G\n", "Key file, line 2: FLAGS must be a hexadecimal number"},
        {Header("0") + nodes, "Key file, line 4: FRAMES must be a whole number of at least 1"},
        {Header("2.5") + nodes, "Key file, line 4: FRAMES must be a whole number of at least 1"},
        {Header("20", "0") + nodes, "Key file, line 5: FPS must be a number above 0"},
        {Header("20", "nan") + nodes, "Key file, line 5: FPS must be a number above 0"},
        {Header() + nineMarkers, "Key file, line 8: MARKERS must be a whole number from 0 to 8"},
        {Header() + "SECTION: MARKERS\nMARKERS 1\n",
         "Key file, line 9: the file ends before marker 1 of 1"},
        {Header(), "Key file, line 7: the file ends before SECTION: KEYFRAME NODES"},
        {Header() + "SECTION: NODES\n", "Key file, line 7: SECTION: KEYFRAME NODES expected"},
        {Header() + "SECTION: KEYFRAME NODES\nNODES 99999999\n" + kOneEntryNode,
         "Key file, line 8: NODES 99999999 is more than the rest of the file holds"},
        {Header() + nodes + "NODE 0\nMESH NAME a\nENTRIES 0\n" + kOneEntryNode,
         "Key file, line 11: ENTRIES must be a whole number of at least 1"},
        {Header() + nodes + "NODE 0\nMESH NAME a\nENTRIES 2000000000\n0: 0 0 0 0 0 0 0 0\n",
         "Key file, line 11: ENTRIES 2000000000 is more than the rest of the file holds"},
        {Header() + nodes + "NODE 0\nMESH NAME a\nENTRIES 1\n0: 0 0 0 0 0 0 0\n0 0 0 0 0 0\n",
         "Key file, line 12: an entry is a number, frame, hexadecimal flags, x y z and pitch yaw "
         "roll"},
        {Header() + nodes +
             "NODE 0\nMESH NAME a\nENTRIES 2\n0: 0 0 0 0 0 0 0 0\n"
             "1: 1 0 0 0 0 0 0 0\n0 0 0 0 0 0\n0 0 0 0 0 0\n",
         "Key file, line 13: the second line of an entry is dx dy dz and dpitch dyaw droll"},
        {Header() + nodes +
             "NODE 0\nMESH NAME a\nENTRIES 2\n0: 0 0 0 0 0 0 0 0\n0 0 0 0 0 0\n"
             "1: 1 0 0 0 0 0 0 0\n# cut off here, after a long enough comment\n",
         "Key file, line 16: the file ends before the second line of entry 2 of 2 of node 1 of 1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Message(c.text), c.message) << c.text;
}

TEST(Keyframes, LeavesOutNodesOutsideTheJointTable)
{
    const TKeyframes key =
        ReadKeyframes(Header() + "SECTION: KEYFRAME NODES\nNODES 3\n" + kOneEntryNode +
                      "NODE 2\nMESH NAME b\nENTRIES 1\n0: 0 0 0 0 0 0 0 0\n0 0 0 0 0 0\n"
                      "NODE -1\nMESH NAME c\nENTRIES 1\n0: 0 0 0 0 0 0 0 0\n0 0 0 0 0 0\n");
    ASSERT_EQ(key.Nodes.size(), 1u);
    EXPECT_EQ(key.Nodes[0].Name, "a");
    ASSERT_EQ(key.Warnings.size(), 2u);
    EXPECT_EQ(key.Warnings[0],
              "Key file, line 14: node 2 is outside the joint table (JOINTS 2); it is left out");
    EXPECT_EQ(key.Warnings[1],
              "Key file, line 19: node -1 is outside the joint table (JOINTS 2); it is left out");
}
