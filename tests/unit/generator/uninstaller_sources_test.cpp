// The uninstaller's sources: generated at build time from product/ and
// compiled in here, the record must hold the description's texts byte for
// byte and every payload name in the order setup writes them, the engine's
// uninstaller last; generated in process, they must need nothing but
// product.json and be refused with the same care as a payload. The version
// resource's texts must come out of the resource compiler as Windows shows
// the description's bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "payloadgen/description.h"
#include "payloadgen/icon.h"
#include "state/installer_config.h"
#include "test_support.h"
#include "uninstall/uninstaller_record.h"

namespace {

namespace fs = std::filesystem;

// The record as emitted, from its declaration to its closing brace.
std::string recordIn(const std::string& source) {
    const std::size_t start = source.find("extern const InstallerConfig installerConfig");
    return start == std::string::npos ? "" : source.substr(start, source.find("};\n", start) + 3 - start);
}

TEST(UninstallerSources, HoldTheDescriptionsRecordAndEveryPayloadName) {
    const auto product = payloadgen::readDescription(GENTEST_PRODUCT_DIR, GENTEST_BUILT_DIR);
    // The same record as setup's, which only its namespace sets apart and
    // LinkedTable compares with the description field by field.
    EXPECT_EQ(installerConfig.productName, product.field("productName").text);
    EXPECT_EQ(installerConfig.publisher, product.field("publisher").text);
    const std::string setupRecord =
        recordIn(gentest::readFile(fs::path(GENTEST_GENERATED_DIR) / "installer_config.cpp"));
    EXPECT_NE(setupRecord, "");
    EXPECT_EQ(recordIn(gentest::readFile(fs::path(GENTEST_UNINSTALLER_DIR) / "uninstaller_record.cpp")),
              setupRecord);

    ASSERT_EQ(uninstallerPayloadNameCount, static_cast<int32_t>(product.payload.size() + 1));
    for (std::size_t i = 0; i < product.payload.size(); ++i)
        EXPECT_EQ(uninstallerPayloadNames[i], product.payload[i].name) << i;
    EXPECT_STREQ(uninstallerPayloadNames[product.payload.size()], "kluninst.exe");
}

TEST(UninstallerSources, NeedOnlyTheDescription) {
    const std::pair<const char*, const char*> rows[] = {
        {"", "    \"b.bin\",\n    \"a.txt\",\n    \"kluninst.exe\",\n};\n"
             "extern const int32_t uninstallerPayloadNameCount = 3;\n"},
        // The product's own uninstaller stays where the product puts it.
        {"KLUNINST.EXE", "    \"b.bin\",\n    \"a.txt\",\n    \"KLUNINST.EXE\",\n    \"c.txt\",\n};\n"
                         "extern const int32_t uninstallerPayloadNameCount = 4;\n"},
    };
    for (const auto& [own, names] : rows) {
        SCOPED_TRACE(own);
        gentest::TestProduct product;
        if (*own) {
            product.addSource(own, "files/own.exe", "own");
            product.addSource("c.txt", "files/c.txt", "c");
        }
        // The programs are not built yet when the uninstaller's sources are made.
        fs::remove(product.builtDir() / "b.bin");
        const fs::path folder = product.outputDir().parent_path() / "gen";
        const auto result = product.runUninstallerSources(folder);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, "");
        const std::string record = gentest::readFile(folder / "uninstaller_record.cpp");
        EXPECT_NE(record.find("payloadgen generated this file"), std::string::npos);
        EXPECT_NE(record.find("uninstallerPayloadNames[] = {\n" + std::string(names)), std::string::npos) << record;
        EXPECT_EQ(record.find("agreementText"), std::string::npos);
        EXPECT_NE(gentest::readFile(folder / "version_info.h")
                      .find("#define PRODUCT_VERSION_BINARY 0,0,0,0\n#define PRODUCT_VERSION_TEXT \"0.0.0.0\"\n"),
                  std::string::npos)
            << "no version";
        // The product's icon, of one image as it is.
        EXPECT_EQ(gentest::readFile(folder / "uninstaller.ico"),
                  gentest::readFile(product.productDir() / "p.ico"));
        EXPECT_FALSE(fs::exists(product.outputDir())) << "only the uninstaller's sources are written";
    }
}

TEST(UninstallerSources, RefusedProductWritesNothing) {
    struct Row {
        const char* label;
        const char* path;
        nlohmann::json value;
        const char* message;
    };
    const Row rows[] = {
        {"name Windows cannot hold", "/payload/1/name", "a<b", "payload[1] \"a<b\": "},
        {"names of one file", "/payload/1/name", "B.BIN", "same file as"},
        {"empty product name", "/config/productName", "", "config.productName: must not be empty"},
        {"version of five parts", "/config/version", "1.2.3.4.5", "config.version: \"1.2.3.4.5\" has 5 parts"},
        {"no payload", "/payload", nlohmann::json::array(), "payload: lists no file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        gentest::TestProduct product;
        product.description = product.description.patch(
            nlohmann::json::array({{{"op", "replace"}, {"path", row.path}, {"value", row.value}}}));
        const auto result = product.runUninstallerSources(product.outputDir());
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(row.message), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(product.outputDir()));
    }
}

// The texts as the resource compiler stores them: the publisher of product/
// holds a quote, a backslash and the UTF-8 of two letters, one of whose
// bytes code page 1252 leaves out.
TEST(VersionInfo, SurvivesTheResourceCompiler) {
    const std::string windres = GENTEST_WINDRES;
    if (windres.empty()) GTEST_SKIP() << "no i686-w64-mingw32-windres";
    gentest::TempDir scratch;
    gentest::writeFile(scratch.path() / "v.rc",
                       "#include <windows.h>\n#include \"version_info.h\"\n"
                       "1 VERSIONINFO\nFILEVERSION PRODUCT_VERSION_BINARY\nPRODUCTVERSION PRODUCT_VERSION_BINARY\n"
                       "BEGIN\n BLOCK \"StringFileInfo\"\n BEGIN\n  BLOCK \"040904E4\"\n  BEGIN\n"
                       "   VALUE \"CompanyName\", PRODUCT_PUBLISHER_TEXT\n"
                       "   VALUE \"FileDescription\", UNINSTALLER_DESCRIPTION_TEXT\n"
                       "   VALUE \"ProductVersion\", PRODUCT_VERSION_TEXT\n"
                       "  END\n END\nEND\n");
    const fs::path res = scratch.path() / "v.res";
    const std::string command = "'" + windres + "' -I '" + GENTEST_UNINSTALLER_DIR + "' -O res '" +
                                (scratch.path() / "v.rc").string() + "' '" + res.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string bytes = gentest::readFile(res);
    const auto stored = [&](std::u16string text) {
        std::string units;
        for (char16_t unit : text + u'\0') units += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        return bytes.find(units) != std::string::npos;
    };
    EXPECT_TRUE(stored(u"Quote \"and\" back\\slash \u00C3\u00BF \u00C3\u0081"));
    EXPECT_TRUE(stored(u"Gentest 'Quoted' Product Uninstaller"));
    EXPECT_TRUE(stored(u"2.5.65535.0"));
    // The fixed part after its signature and structure version: 2.5 and 65535.0.
    EXPECT_NE(bytes.find(std::string("\xBD\x04\xEF\xFE\0\0\1\0\5\0\2\0\0\0\xFF\xFF", 16)), std::string::npos);
}

// The uninstaller's icon is one image of the product's: of the 32 x 32 ones
// the one with the most colours, else the nearest in size, the smaller
// file on a tie; a whole icon file, its one entry pointing past itself.
TEST(UninstallerSources, TheIconKeepsOneImage) {
    struct Image {
        unsigned char side;  // 0 for 256
        unsigned char bits;
        std::string bytes;
    };
    const auto iconOf = [](const std::vector<Image>& images) {
        std::string icon("\0\0\1\0", 4);
        icon += static_cast<char>(images.size());
        icon += '\0';
        std::size_t offset = 6 + 16 * images.size();
        for (const Image& image : images) {
            const char entry[16] = {static_cast<char>(image.side), static_cast<char>(image.side), 0, 0, 1, 0,
                                    static_cast<char>(image.bits), 0,
                                    static_cast<char>(image.bytes.size()), 0, 0, 0,
                                    static_cast<char>(offset), static_cast<char>(offset >> 8), 0, 0};
            icon.append(entry, 16);
            offset += image.bytes.size();
        }
        for (const Image& image : images) icon += image.bytes;
        return icon;
    };
    struct Row {
        const char* label;
        std::vector<Image> images;
        std::size_t kept;
    };
    const Row rows[] = {
        {"32 x 32 with the most colours", {{16, 8, "a"}, {32, 4, "bb"}, {32, 32, "ccc"}, {48, 32, "dddd"}}, 2},
        {"none of 32: the nearer, then the smaller", {{16, 8, "aaaa"}, {48, 8, "bb"}, {0, 32, "c"}}, 1},
        {"one image of 256", {{0, 32, "png"}}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string icon = iconOf(row.images);
        EXPECT_EQ(payloadgen::reducedIcon(icon), iconOf({row.images[row.kept]}));
    }
}

}  // namespace
