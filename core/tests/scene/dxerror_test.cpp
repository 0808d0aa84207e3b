#include "scene/dxerror.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
std::string MessageOf(HRESULT code)
{
    try
    {
        DXCheck(code);
    }
    catch (const EDirectX& e)
    {
        return e.what();
    }
    ADD_FAILURE() << "DXCheck did not raise for " << code;
    return {};
}

HRESULT Code(std::uint32_t value)
{
    return static_cast<HRESULT>(value);
}
} // namespace

TEST(DXCheck, SuccessRaisesNothing)
{
    EXPECT_NO_THROW(DXCheck(0));
}

TEST(DXCheck, MessageHasHexCodeCarriageReturnAndText)
{
    EXPECT_EQ(MessageOf(Code(0x88760005)),
              "DirectX call failed: 88760005\rThis object is already initialized.");
    EXPECT_EQ(MessageOf(Code(0x887602BC)), "DirectX call failed: 887602BC\rD3DERR_BADMAJORVERSION");
    EXPECT_EQ(MessageOf(Code(0x88760313)),
              "DirectX call failed: 88760313\rThe file was not found.");
    EXPECT_EQ(MessageOf(Code(0x88760314)), "DirectX call failed: 88760314\rD3DRMERR_BADFILE");
    EXPECT_EQ(MessageOf(Code(0x80000003)),
              "DirectX call failed: 80000003\rOne or more of the parameters passed to the "
              "function are incorrect.");
}

TEST(DXCheck, UnknownCodesAndPositiveCodes)
{
    EXPECT_EQ(MessageOf(Code(0x80004005)),
              "DirectX call failed: 80004005\rUnrecognized error value.");
    EXPECT_EQ(MessageOf(1), "DirectX call failed: 1\rUnrecognized error value.");
    EXPECT_EQ(MessageOf(0x2A), "DirectX call failed: 2A\rUnrecognized error value.");
    // Unlisted members of the listed families.
    for (std::uint32_t n : {435u, 726u, 729u, 733u, 743u, 760u, 761u, 762u, 763u})
        EXPECT_STREQ(DXErrorText(Code(0x88760000 + n)), "Unrecognized error value.") << n;
    for (std::uint32_t c : {0x80004001u, 0x8007000Eu, 0x80070057u})
        EXPECT_STREQ(DXErrorText(Code(c)), "Unrecognized error value.");
}

TEST(DXCheck, EveryTextMatchesAnIndependentListAndNoOtherCodeHasOne)
{
    // The table transcribed on its own, one "CODE<tab>text" line per code, texts verbatim
    // (misspellings, double spaces and a leading space included).
    std::ifstream in(std::string(QUILLMARK_TESTDATA) + "/dxerror_texts.txt", std::ios::binary);
    ASSERT_TRUE(in);
    std::map<std::uint32_t, std::string> listed;
    for (std::string line; std::getline(in, line);)
    {
        const std::size_t tab = line.find('\t');
        ASSERT_NE(tab, std::string::npos) << line;
        listed[static_cast<std::uint32_t>(std::stoul(line.substr(0, tab), nullptr, 16))] =
            line.substr(tab + 1);
    }
    EXPECT_EQ(listed.size(), 129u);
    for (const auto& [code, text] : listed)
        EXPECT_EQ(DXErrorText(Code(code)), text) << std::hex << code;
    for (const std::uint32_t first : {0x80000000u, 0x88760000u})
        for (std::uint32_t c = first; c < first + 2000; ++c)
            if (!listed.count(c))
            {
                EXPECT_STREQ(DXErrorText(Code(c)), "Unrecognized error value.") << std::hex << c;
            }
}

TEST(DXCheck, NamedConstantsHaveTheirValues)
{
    EXPECT_EQ(D3DRMERR_FILENOTFOUND, Code(0x88760313));
    EXPECT_EQ(D3DRMERR_BADFILE, Code(0x88760314));
    EXPECT_EQ(DDERR_INVALIDPARAMS, Code(0x80000003));
    EXPECT_EQ(DDERR_OUTOFVIDEOMEMORY, Code(0x8876017C));
}

TEST(DXFailed, KeepsTheCodeAndTellsFailure)
{
    HRESULT kept = 123;
    EXPECT_FALSE(DXFailed(kept, 0));
    EXPECT_EQ(kept, 0);
    EXPECT_TRUE(DXFailed(kept, D3DRMERR_BADFILE));
    EXPECT_EQ(kept, D3DRMERR_BADFILE);
    EXPECT_TRUE(DXFailed(kept, 1));
}

TEST(COMRelease, ReleasesOnceThenReportsNullWithoutRaising)
{
    std::vector<std::string> shown;
    SetMessageBoxHook([&](const std::string& text) { shown.push_back(text); });
    auto object = std::make_shared<int>(7);
    std::weak_ptr<int> watch = object;
    COMRelease(object);
    EXPECT_EQ(object, nullptr);
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(shown.empty());
    EXPECT_NO_THROW(COMRelease(object));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "COMRelease of NULL object");
    SetMessageBoxHook(nullptr);
}

TEST(FloatingPoint, DivisionByZeroGivesInfinityAfterMasking)
{
    MaskFloatingPointExceptions();
    volatile double zero = 0.0;
    volatile double one = 1.0;
    EXPECT_TRUE(std::isinf(one / zero));
    EXPECT_TRUE(std::isnan(zero / zero));
}
