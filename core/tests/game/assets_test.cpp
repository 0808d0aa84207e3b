#include "game/assets.h"

#include "formats/gob.h"
#include "game_files.h"
#include "base/platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{
class Asset : public ::testing::Test
{
protected:
    std::string At(const std::string& relative) const
    {
        return Utf8FromPath((FDir / PathFromUtf8(relative)).make_preferred());
    }
    void Put(const std::string& relative, const std::string& bytes) const
    {
        const fs::path path = FDir / PathFromUtf8(relative);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string Bytes(const TAssetSource& source, const std::string& gamePath) const
    {
        const std::optional<TAsset> asset = source.Load(gamePath);
        return asset ? asset->Bytes : "(none)";
    }

    TTempDir FTemp{"quillmark_assets"};
    const fs::path FDir = FTemp.Path();
};
} // namespace

TEST_F(Asset, GameFolderMountsLooseFilesBeforeArchivesInNameOrder)
{
    Put("game/3DO/Mat/Foo.MAT", "loose root");
    Put("game/Resource/3do/mat/bar.mat", "loose resource");
    Put("game/MISC/cmp/Other.CMP", "other cmp");
    Put("game/Resource/B.GOB", WriteTestGob({{"3do\\mat\\foo.mat", "gob B foo"},
                                             {"3do\\mat\\baz.mat", "gob B baz"},
                                             {"MISC\\CMP\\dflt.cmp", "dflt cmp"},
                                             {"misc\\cmp\\sub\\deep.cmp", "deep"}}));
    Put("game/Resource/a.gob", WriteTestGob({{"3do\\mat\\baz.mat", "gob a baz"},
                                             {"misc\\cmp\\other.cmp", "gob a other"}}));
    Put("game/Resource/broken.gob", "GOB\x0A");
    Put("game/Resource/notes.txt", "not an archive");
    Put("game/episode/c.goo", WriteTestGob({{"3do\\mat\\qux.mat", "goo qux"}}));
    Put("game/Resource/bar.mat", "never: not under 3do/mat");

    TAssetSource source;
    source.AddGameFolder(At("game"));
    const std::vector<TMountInfo> mounts = source.Mounts();
    ASSERT_EQ(mounts.size(), 6u);
    const std::vector<std::pair<TMountKind, std::string>> expected = {
        {mkFolder, At("game")},
        {mkFolder, At("game/Resource")},
        {mkFolder, At("game/episode")},
        {mkArchive, At("game/Resource/a.gob")},
        {mkArchive, At("game/Resource/B.GOB")},
        {mkArchive, At("game/episode/c.goo")}};
    for (std::size_t i = 0; i < mounts.size(); ++i)
    {
        EXPECT_EQ(mounts[i].Kind, expected[i].first) << i;
        EXPECT_EQ(mounts[i].Path, expected[i].second) << i;
    }
    EXPECT_EQ(source.Warnings(),
              std::vector<std::string>{"Archive skipped: " + At("game/Resource/broken.gob") +
                                       " (Not a Jedi Knight GOB archive: this is a Dark Forces "
                                       "GOB)"});

    EXPECT_EQ(Bytes(source, "3do/mat/foo.mat"), "loose root");
    const std::optional<TAssetOrigin> foo = source.Find("3DO\\MAT\\FOO.mat");
    ASSERT_TRUE(foo);
    EXPECT_EQ(foo->Mount, 0u);
    EXPECT_EQ(foo->Path, "3DO/Mat/Foo.MAT");
    EXPECT_EQ(DescribeOrigin(*foo), Utf8FromPath((FDir / "game/3DO/Mat/Foo.MAT").make_preferred()));
    EXPECT_EQ(Bytes(source, "3do/mat/bar.mat"), "loose resource");
    EXPECT_EQ(Bytes(source, "3do/mat/baz.mat"), "gob a baz");
    EXPECT_EQ(Bytes(source, "3do/mat/qux.mat"), "goo qux");
    const std::optional<TAssetOrigin> dflt = source.Find("misc/cmp/DFLT.CMP");
    ASSERT_TRUE(dflt);
    EXPECT_EQ(DescribeOrigin(*dflt), At("game/Resource/B.GOB") + " (MISC\\CMP\\dflt.cmp)");
    EXPECT_EQ(source.Read(*dflt), "dflt cmp");
    for (const char* outside : {"resource/notes.txt/x", "../game/3do/mat/foo.mat",
                                "/3do/mat/foo.mat", "3do//mat/foo.mat", "3do/mat", ""})
        EXPECT_FALSE(source.Find(outside)) << outside;

    const std::vector<TAssetListing> cmps = source.List("MISC\\cmp\\", "*.CMP");
    ASSERT_EQ(cmps.size(), 2u);
    EXPECT_EQ(cmps[0].GamePath, "misc/cmp/dflt.cmp");
    EXPECT_EQ(cmps[0].Origin.Mount, 4u);
    EXPECT_EQ(cmps[1].GamePath, "misc/cmp/other.cmp");
    EXPECT_EQ(cmps[1].Origin.Mount, 0u);
    EXPECT_EQ(cmps[1].Origin.Path, "MISC/cmp/Other.CMP");
    EXPECT_EQ(source.List("misc/cmp", "?FLT.*").size(), 1u);
    EXPECT_EQ(source.List("misc/cmp", "d?flt.cmp").size(), 0u);

    TAssetSource none;
    none.AddGameFolder(At("nowhere"));
    EXPECT_EQ(none.Warnings(), std::vector<std::string>{"Game folder not found: " + At("nowhere")});
    EXPECT_TRUE(none.Mounts().empty());
}

TEST_F(Asset, ModelLocationMountsComeBeforeTheGameFolder)
{
    Put("game/3do/mat/kyhead.mat", "game kyhead");
    Put("game/3do/mat/gameonly.mat", "game only");
    Put("mod/3DO/ky.3do", "model");
    Put("mod/3DO/MAT/KyHead.mat", "mod kyhead");
    Put("mod/3DO/beside.mat", "beside");
    Put("work/m.3do", "model");
    Put("work/Mat/inmat.mat", "in mat");

    TAssetSource source = ModelAssetSource({At("mod/3DO/ky.3do"), "", "", nullptr}, At("game"));
    std::vector<TMountInfo> mounts = source.Mounts();
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].Path, At("mod"));
    EXPECT_EQ(mounts[0].Kind, mkFolder);
    EXPECT_EQ(mounts[1].Path, At("mod/3DO"));
    EXPECT_EQ(mounts[1].Kind, mkModelFolder);
    EXPECT_EQ(mounts[2].Path, At("game"));
    EXPECT_EQ(Bytes(source, "3do/mat/kyhead.mat"), "mod kyhead");
    EXPECT_EQ(Bytes(source, "3do/mat/gameonly.mat"), "game only");
    const TResolvedAsset beside = ResolveMaterial(source, "BESIDE.MAT");
    ASSERT_TRUE(beside.Origin);
    EXPECT_EQ(beside.GamePath, "3do/mat/BESIDE.MAT");
    EXPECT_EQ(beside.Origin->Mount, 1u);
    EXPECT_EQ(beside.Origin->Path, "beside.mat");
    EXPECT_TRUE(beside.LookedIn.empty());

    // A model outside any 3do folder: its own folder, then a mat folder beside it.
    source = ModelAssetSource({At("work/m.3do"), "", "", nullptr}, "");
    ASSERT_EQ(source.Mounts().size(), 1u);
    EXPECT_EQ(Bytes(source, "mat/inmat.mat"), "in mat");
    const TResolvedAsset missing = ResolveMaterial(source, "none.mat");
    EXPECT_FALSE(missing.Origin);
    std::vector<std::string> looked;
    for (const TAssetOrigin& place : missing.LookedIn)
        looked.push_back(DescribeOrigin(place));
    const auto in = [&](const std::string& p) { return Utf8FromPath((FDir / p).make_preferred()); };
    EXPECT_EQ(looked, (std::vector<std::string>{in("work/3do/mat/none.mat"),
                                                in("work/mat/none.mat"), in("work/none.mat"),
                                                in("work/mat/none.mat"), in("work/none.mat")}));

    // A model from an archive: that archive first, whatever else has the file.
    Put("game/Resource/res.gob", WriteTestGob({{"3do\\mat\\kyhead.mat", "res kyhead"}}));
    Put("mine.goo", WriteTestGob({{"3do\\ky.3do", "model"}, {"3DO\\MAT\\KYHEAD.MAT", "own"}}));
    source = ModelAssetSource({"", At("mine.goo"), "3do\\ky.3do", nullptr}, At("game"));
    mounts = source.Mounts();
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[0].Kind, mkArchive);
    EXPECT_EQ(mounts[3].Path, At("game/Resource/res.gob"));
    EXPECT_EQ(Bytes(source, "3do/mat/kyhead.mat"), "own");
    // The game's archive mounted a second time is left out.
    source = ModelAssetSource({"", At("game/Resource/res.gob"), "x", nullptr}, At("game"));
    EXPECT_EQ(source.Mounts().size(), 3u);
    EXPECT_EQ(Bytes(source, "3do/mat/kyhead.mat"), "res kyhead");
}

TEST_F(Asset, KeysAndPuppetsAreFoundBesideTheModelThenInTheGame)
{
    Put("mod/walker.3do", "model");
    Put("mod/KEY/Walk.KEY", "own walk");
    Put("mod/misc/pup/walker.pup", "own puppet");
    Put("game/Resource/res.gob", WriteTestGob({{"3do\\key\\walk.key", "game walk"},
                                               {"3DO\\KEY\\RUN.KEY", "game run"},
                                               {"misc\\pup\\ky.pup", "game puppet"}}));
    const TAssetSource source =
        ModelAssetSource({At("mod/walker.3do"), "", "", nullptr}, At("game"));
    const TResolvedAsset walk = ResolveKey(source, "walk.key");
    ASSERT_TRUE(walk.Origin);
    EXPECT_EQ(walk.GamePath, "3do/key/walk.key");
    EXPECT_EQ(source.Read(*walk.Origin), "own walk");
    EXPECT_EQ(Bytes(source, ResolveKey(source, "run.key").GamePath), "game run");
    EXPECT_EQ(source.Read(*ResolvePuppet(source, "WALKER.PUP").Origin), "own puppet");
    EXPECT_EQ(source.Read(*ResolvePuppet(source, "ky.pup").Origin), "game puppet");
    EXPECT_FALSE(ResolveKey(source, "walker.pup").Origin);
}

TEST_F(Asset, GameFolderIsRecognisedByWhatItHolds)
{
    Put("empty/readme.txt", "x");
    Put("empty/old.gob/a", "a folder named like an archive");
    Put("files/3do", "a file, not a folder");
    Put("files/x.gob.txt", "x");
    Put("install/Resource/res1.gob", "x");
    Put("mod/Mat/a.mat", "x");
    Put("episode-only/EPISODE/x", "x");
    Put("archive/JK.GOO", "x");
    for (const char* folder : {"empty", "files", "missing"})
        EXPECT_FALSE(LooksLikeGameFolder(At(folder))) << folder;
    for (const char* folder : {"install", "mod", "episode-only", "archive"})
        EXPECT_TRUE(LooksLikeGameFolder(At(folder))) << folder;
}
