// The pipeline's outputs byte for byte: a hash of the processed page's packed bitmap (header,
// palette, rows with their padding) for the bench page, the generated pages and the real scans,
// under the settings the pipeline's other tests and benchmarks use. Work on the pipeline's speed
// must leave every one of them as it is.
//
// When a change of the pipeline's results is meant, print the fresh table and paste it over
// the rows of kExpected below:
//   CLARIVO_PRINT_PIPELINE_HASHES=1 build/tests/controlpanel/controlpanel_tests
//     --gtest_filter='Outputs/*' | grep '^    {'
#include <gtest/gtest.h>

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ProcessingPipeline.h"
#include "pagegen.h"
#include "testdata.h"

namespace {

// The pipeline settings of the cases.
enum TSettings {
  kDarkBacking,  // despeckle, border and crop on, for a sheet on a dark backing
  kScan,         // despeckle, border and crop on, the other settings of a first start
  kFirstStart,   // the settings of a first start
  kGlobalLevel,  // kDarkBacking with the automatic global threshold
  kLocalStats,   // kDarkBacking with the local mean and deviation threshold
  kEraseBorder,  // kDarkBacking painting the border in place of cropping it
};

struct TCase {
  const char* Page;  // "generated-<type>", or a file below the test data folder
  TSettings Settings;
  uint8_t Target;
  uint64_t Hash;
};

// clang-format off
const TCase kExpected[] = {
    {"bench/page-a4-300-gray.png", kDarkBacking, 1, 0x05bf901895c89142},
    {"bench/page-a4-300-gray.png", kDarkBacking, 3, 0x49be66c337630c95},
    {"bench/page-a4-300-gray.png", kDarkBacking, 6, 0x49be66c337630c95},
    {"bench/page-a4-300-gray.png", kFirstStart, 1, 0x14291b47d0422f3c},
    {"generated-3", kDarkBacking, 1, 0xf42bedfb6bd5d002},
    {"generated-3", kDarkBacking, 3, 0xb0534ca484750263},
    {"generated-3", kDarkBacking, 6, 0xb0534ca484750263},
    {"generated-3", kGlobalLevel, 1, 0xf42bedfb6bd5d002},
    {"generated-3", kLocalStats, 1, 0x22608be838c451ec},
    {"generated-3", kEraseBorder, 1, 0x86a3e9a06ddb3744},
    {"generated-3", kFirstStart, 1, 0x6697acbefbaa9f68},
    {"generated-1", kDarkBacking, 1, 0xf42bedfb6bd5d002},
    {"generated-1", kDarkBacking, 3, 0x3caa6cd20f1b30c6},
    {"generated-6", kDarkBacking, 1, 0xf42bedfb6bd5d002},
    {"generated-6", kDarkBacking, 3, 0x55eb313dd257e287},
    {"scans/commons-imaging/Imaging247.TIFF", kScan, 1, 0xc24748a8f195e3dc},
    {"scans/commons-imaging/Imaging247.TIFF", kScan, 3, 0xfd518940e758f55d},
    {"scans/commons-imaging/Imaging247.TIFF", kScan, 6, 0xc24748a8f195e3dc},
    {"scans/doxa/2JohnC1V3-GroundTruth.png", kScan, 1, 0x2549fa30166c383f},
    {"scans/doxa/2JohnC1V3-GroundTruth.png", kScan, 3, 0x31d8ae103a7711a6},
    {"scans/doxa/2JohnC1V3-GroundTruth.png", kScan, 6, 0x31d8ae103a7711a6},
    {"scans/doxa/2JohnC1V3.png", kScan, 1, 0x0d698bf9dac20cef},
    {"scans/doxa/2JohnC1V3.png", kScan, 3, 0x5fbf81a251ea503c},
    {"scans/doxa/2JohnC1V3.png", kScan, 6, 0x5fbf81a251ea503c},
    {"scans/jpeg-decoder/extraneous-bytes-after-sos.jpg", kScan, 1, 0xc829b2504664f17b},
    {"scans/jpeg-decoder/extraneous-bytes-after-sos.jpg", kScan, 3, 0xbdbb256c246019d7},
    {"scans/jpeg-decoder/extraneous-bytes-after-sos.jpg", kScan, 6, 0xbdbb256c246019d7},
    {"scans/leptonica/1555.007.jpg", kScan, 1, 0x960d8a2104b18bf0},
    {"scans/leptonica/1555.007.jpg", kScan, 3, 0xf3b8e8bce2563616},
    {"scans/leptonica/1555.007.jpg", kScan, 6, 0xf3b8e8bce2563616},
    {"scans/leptonica/binding-example.45.jpg", kScan, 1, 0xd6d9c4fe1f146452},
    {"scans/leptonica/binding-example.45.jpg", kScan, 3, 0x23a43a1f1b560346},
    {"scans/leptonica/binding-example.45.jpg", kScan, 6, 0x23a43a1f1b560346},
    {"scans/leptonica/boismort.1.tif", kScan, 1, 0xdd862d0379ddc63e},
    {"scans/leptonica/boismort.1.tif", kScan, 3, 0xe67e37ad8e40fcbc},
    {"scans/leptonica/boismort.1.tif", kScan, 6, 0xdd862d0379ddc63e},
    {"scans/leptonica/cat.035.jpg", kScan, 1, 0xea1709210a535bdf},
    {"scans/leptonica/cat.035.jpg", kScan, 3, 0x3f0c58a0967e8bdb},
    {"scans/leptonica/cat.035.jpg", kScan, 6, 0x3f0c58a0967e8bdb},
    {"scans/leptonica/feyn.tif", kScan, 1, 0x3eb43418c987348c},
    {"scans/leptonica/feyn.tif", kScan, 3, 0xc36b5a0f2ee1590a},
    {"scans/leptonica/feyn.tif", kScan, 6, 0x3eb43418c987348c},
    {"scans/leptonica/lapide.052.100.jpg", kScan, 1, 0xf57f099fb24b2ef5},
    {"scans/leptonica/lapide.052.100.jpg", kScan, 3, 0x4a8bd721387ef50d},
    {"scans/leptonica/lapide.052.100.jpg", kScan, 6, 0x4a8bd721387ef50d},
    {"scans/leptonica/lucasta.047.jpg", kScan, 1, 0x0fff17fba8562fd0},
    {"scans/leptonica/lucasta.047.jpg", kScan, 3, 0x4067a82c0a09c2be},
    {"scans/leptonica/lucasta.047.jpg", kScan, 6, 0x4067a82c0a09c2be},
    {"scans/leptonica/lucasta.1.300.tif", kScan, 1, 0xfbb082bb40490a74},
    {"scans/leptonica/lucasta.1.300.tif", kScan, 3, 0x726423c0b7254b2b},
    {"scans/leptonica/lucasta.1.300.tif", kScan, 6, 0xfbb082bb40490a74},
    {"scans/leptonica/pageseg1.tif", kScan, 1, 0xab1e91918d96eaa3},
    {"scans/leptonica/pageseg1.tif", kScan, 3, 0x3aeb50b0dd62a21a},
    {"scans/leptonica/pageseg1.tif", kScan, 6, 0xab1e91918d96eaa3},
    {"scans/leptonica/scots-frag.tif", kScan, 1, 0x86e02535de861299},
    {"scans/leptonica/scots-frag.tif", kScan, 3, 0xbf91793bb1098021},
    {"scans/leptonica/scots-frag.tif", kScan, 6, 0x86e02535de861299},
    {"scans/leptonica/shearer.148.tif", kScan, 1, 0x4932d48b0b0bb03e},
    {"scans/leptonica/shearer.148.tif", kScan, 3, 0xcd7350e700aaf9cf},
    {"scans/leptonica/shearer.148.tif", kScan, 6, 0x4932d48b0b0bb03e},
    {"scans/leptonica/w91frag.jpg", kScan, 1, 0x016856b7ea6d28c9},
    {"scans/leptonica/w91frag.jpg", kScan, 3, 0x170cfa7998777459},
    {"scans/leptonica/w91frag.jpg", kScan, 6, 0x170cfa7998777459},
    {"scans/leptonica/zanotti-78.jpg", kScan, 1, 0x4a98a4ff69580244},
    {"scans/leptonica/zanotti-78.jpg", kScan, 3, 0x86d0a6764b2c45c2},
    {"scans/leptonica/zanotti-78.jpg", kScan, 6, 0x86d0a6764b2c45c2},
    {"scans/ocrmypdf/linn.png", kScan, 1, 0x1668c6fd27b2912d},
    {"scans/ocrmypdf/linn.png", kScan, 3, 0x1e45c38aade443c3},
    {"scans/ocrmypdf/linn.png", kScan, 6, 0x1668c6fd27b2912d},
};
// clang-format on

const char* const kSettingsNames[] = {"kDarkBacking", "kScan",       "kFirstStart",
                                      "kGlobalLevel", "kLocalStats", "kEraseBorder"};

TProcessingPipeline PipelineFor(TSettings Settings) {
  TProcessingPipeline p;
  p.ScanRequest.Threshold = 128;
  if (Settings == kFirstStart) return p;
  p.Checks.Despeckle = p.Checks.BlackBorderRemoval = p.Checks.AutoCrop = true;
  if (Settings == kScan) return p;
  p.Parameters.BlackBackground = true;
  p.Parameters.BlackBorderThreshold = 30;
  if (Settings == kGlobalLevel) p.Parameters.Algo = 0;
  if (Settings == kLocalStats) p.Parameters.Algo = 2;
  if (Settings == kEraseBorder) p.Parameters.BlackBorderCrop = false;
  return p;
}

// FNV-1a over the block's bytes.
uint64_t HashOf(const TDIB& Page) {
  const auto* bytes = static_cast<const uint8_t*>(Page.Memory());
  uint64_t hash = 0xcbf29ce484222325;
  for (int32_t i = 0; i < Page.BlockSize(); ++i) {
    hash = (hash ^ bytes[i]) * 0x100000001b3;
  }
  return hash;
}

// The page of a case; false, with the reason, when its file is absent.
bool LoadCasePage(const std::string& Name, TDIB& Page, std::string& Reason) {
  const std::string generated = "generated-";
  if (Name.starts_with(generated)) {
    const auto type = static_cast<uint8_t>(std::stoi(Name.substr(generated.size())));
    Page.TakeImage(*MakeReferencePage(ReferencePageOptions(type)));
    return true;
  }
  const std::string file = TestDataDir() + "/" + Name;
  if (TestDataDir().empty() || !std::filesystem::is_regular_file(file)) {
    Reason = "../shared/testdata/" + Name + " is absent";
    return false;
  }
  Page.LoadFromFile(file);
  return true;
}

// The case's page processed by the pipeline, which takes the case's settings.
uint64_t ProcessedHash(TProcessingPipeline& Pipeline, const TCase& Case, TDIB& Page) {
  const TProcessingPipeline settings = PipelineFor(Case.Settings);
  Pipeline.Checks = settings.Checks;
  Pipeline.Parameters = settings.Parameters;
  Pipeline.ScanRequest = settings.ScanRequest;
  const int32_t dpi = Page.XResolution() > 0 ? Page.XResolution() : 300;
  Pipeline.ProcessPage(Page, Case.Target, dpi, dpi);
  return HashOf(Page);
}

class PipelineOutput : public testing::TestWithParam<TCase> {};

TEST_P(PipelineOutput, IsTheRecordedOne) {
  const TCase& c = GetParam();
  TDIB page;
  std::string reason;
  if (!LoadCasePage(c.Page, page, reason)) GTEST_SKIP() << reason;
  TProcessingPipeline pipeline;
  const uint64_t hash = ProcessedHash(pipeline, c, page);
  if (std::getenv("CLARIVO_PRINT_PIPELINE_HASHES") != nullptr) {
    std::printf("    {\"%s\", %s, %d, 0x%016" PRIx64 "},\n", c.Page, kSettingsNames[c.Settings],
                c.Target, hash);
  }
  EXPECT_EQ(hash, c.Hash) << c.Page << " " << kSettingsNames[c.Settings] << " to type "
                          << int{c.Target};
}

std::string CaseName(const testing::TestParamInfo<TCase>& Info) {
  std::string name = std::to_string(Info.index) + "_" + Info.param.Page;
  for (char& ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Outputs, PipelineOutput, testing::ValuesIn(kExpected), CaseName);

// The working memory that one pipeline keeps from page to page, through pages of every size,
// type and setting in turn, changes no result.
TEST(PipelineOutputs, AreTheRecordedOnesPageAfterPageOfOnePipeline) {
  TProcessingPipeline pipeline;
  int32_t processed = 0;
  for (const TCase& c : kExpected) {
    TDIB page;
    std::string reason;
    if (!LoadCasePage(c.Page, page, reason)) continue;
    EXPECT_EQ(ProcessedHash(pipeline, c, page), c.Hash)
        << c.Page << " " << kSettingsNames[c.Settings] << " to type " << int{c.Target};
    ++processed;
  }
  EXPECT_GT(processed, 0);
}

// The working memory grows for a larger page only: a smaller page, or the same one again,
// takes none.
TEST(PipelineOutputs, WorkingMemoryGrowsOnlyForALargerPage) {
  TPageOptions small = ReferencePageOptions(pt8bit);
  small.Width = 1240;
  small.Height = 1754;
  small.DPI = 150;
  const TCase large{"generated-3", kDarkBacking, pt1bit, 0};
  TProcessingPipeline pipeline;
  TDIB page;
  std::string reason;
  for (TSettings settings : {kDarkBacking, kLocalStats}) {
    ASSERT_TRUE(LoadCasePage(large.Page, page, reason));
    ProcessedHash(pipeline, {large.Page, settings, pt1bit, 0}, page);
  }
  const size_t afterLarge = pipeline.WorkingMemory();
  EXPECT_GT(afterLarge, 0u);
  for (TSettings settings : {kDarkBacking, kLocalStats}) {
    page.TakeImage(*MakeReferencePage(small));
    ProcessedHash(pipeline, {"small", settings, pt1bit, 0}, page);
    EXPECT_EQ(pipeline.WorkingMemory(), afterLarge);
    ASSERT_TRUE(LoadCasePage(large.Page, page, reason));
    ProcessedHash(pipeline, {large.Page, settings, pt1bit, 0}, page);
    EXPECT_EQ(pipeline.WorkingMemory(), afterLarge);
  }
}

}  // namespace
