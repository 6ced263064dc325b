// The bad-picture corpus: each file under data/bmp/malformed has its expected
// outcome in MANIFEST. Run it under the sanitizers as well (tests/sanitize).
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "image/bmp.h"

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kCorpus = std::string(BAUBLES_TEST_DATA) + "/bmp/malformed/";

struct Expected {
    std::string file, outcome, sameAs;
    int w = 0, h = 0;
};

std::vector<Expected> readManifest() {
    std::vector<Expected> list;
    std::ifstream in(kCorpus + "MANIFEST");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Expected e;
        fields >> e.file >> e.outcome;
        if (e.outcome != "none") fields >> e.w >> e.h >> e.sameAs;
        list.push_back(e);
    }
    return list;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

// Every file gives its expected outcome, through the file reader and the
// in-memory reader alike, and nothing read is larger than the file could fill.
TEST(BmpMalformed, EveryCorpusFileGivesItsExpectedOutcome) {
    const std::vector<Expected> manifest = readManifest();
    ASSERT_GT(manifest.size(), 40u) << "corpus manifest missing or short: " << kCorpus;
    for (const Expected& e : manifest) {
        SCOPED_TRACE(e.file + " (" + e.outcome + ")");
        const std::string path = kCorpus + e.file;
        const Bytes bytes = readFile(path);

        Image fromFile, fromBytes;
        const bool readFromFile = readBitmap(path.c_str(), fromFile);
        const bool readFromBytes = readBitmapBytes(bytes.data(), bytes.size(), fromBytes);
        EXPECT_EQ(readFromFile, readFromBytes);
        EXPECT_EQ(fromFile.pixels, fromBytes.pixels);
        EXPECT_EQ(fromFile.info, fromBytes.info);

        if (e.outcome == "none") {
            EXPECT_FALSE(readFromFile);
            EXPECT_EQ(fromFile.width, 0);
            EXPECT_TRUE(fromFile.info.empty() && fromFile.pixels.empty());
            EXPECT_TRUE(bitmapToRgb(fromFile).empty());
            continue;
        }
        ASSERT_TRUE(readFromFile);
        EXPECT_EQ(fromFile.width, e.w);
        EXPECT_EQ(fromFile.height, e.h);
        EXPECT_LE(fromFile.info.size() + fromFile.pixels.size(), bytes.size());

        const Bytes rgb = bitmapToRgb(fromFile);
        ASSERT_EQ(rgb.size(), rgbRowStride(e.w) * e.h);
        EXPECT_LE(rgb.size(), 24 * bytes.size());
        bool anyLit = false;
        for (uint8_t b : rgb) anyLit |= b != 0;
        if (e.outcome == "black") {
            EXPECT_FALSE(anyLit) << "a picture we cannot convert must come out black";
        } else {
            ASSERT_EQ(e.outcome, "image");
            EXPECT_EQ(fromFile.bitCount, 24);
            EXPECT_TRUE(anyLit);
            if (!e.sameAs.empty()) {
                Image reference;
                ASSERT_TRUE(readBitmap((kCorpus + e.sameAs).c_str(), reference));
                EXPECT_EQ(rgb, bitmapToRgb(reference)) << "pixels differ from " << e.sameAs;
            }
        }
    }
}

// The manifest and the folder list the same files, so no entry goes unchecked.
TEST(BmpMalformed, ManifestCoversTheWholeFolder) {
    std::set<std::string> listed, present;
    for (const Expected& e : readManifest()) {
        EXPECT_TRUE(listed.insert(e.file).second) << "listed twice: " << e.file;
        EXPECT_TRUE(e.outcome == "none" || e.outcome == "black" || e.outcome == "image") << e.file;
    }
    DIR* dir = opendir(kCorpus.c_str());
    ASSERT_NE(dir, nullptr);
    while (dirent* d = readdir(dir)) {
        std::string name = d->d_name;
        if (name != "." && name != ".." && name != "MANIFEST") present.insert(name);
    }
    closedir(dir);
    EXPECT_EQ(listed, present);
}

// Every prefix of a good file is refused without reading past its end (the
// sanitizer build checks the reads): only the whole file is a picture.
TEST(BmpMalformed, EveryTruncationOfAGoodFileIsRefused) {
    const Bytes whole = readFile(kCorpus + "base.bmp");
    ASSERT_EQ(whole.size(), 54u + 48u);
    for (size_t n = 0; n < whole.size(); ++n) {
        Bytes prefix(whole.begin(), whole.begin() + n);  // its own allocation: ASan sees any overrun
        Image image;
        EXPECT_FALSE(readBitmapBytes(prefix.data(), prefix.size(), image)) << n << " bytes";
    }
    Image image;
    EXPECT_TRUE(readBitmapBytes(whole.data(), whole.size(), image));
    EXPECT_FALSE(readBitmapBytes(nullptr, 0, image));
}

// An image put together by hand, not by the reader, never makes the converter
// read past its pixel block or allocate without a bound.
TEST(BmpMalformed, ConverterRefusesImagesTheReaderWouldNotMake) {
    Image image;
    image.width = 5;
    image.height = 3;
    image.bitCount = 24;
    image.pixels.assign(47, 0x80);  // one byte short of 3 rows of 16
    EXPECT_TRUE(bitmapToRgb(image).empty());
    image.pixels.push_back(0x80);
    EXPECT_EQ(bitmapToRgb(image).size(), 48u);
    image.width = kMaxBitmapSide + 1;
    EXPECT_TRUE(bitmapToRgb(image).empty());
    image.width = 5;
    image.height = -3;
    EXPECT_TRUE(bitmapToRgb(image).empty());
}
