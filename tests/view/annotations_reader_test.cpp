#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "AnnotationsUnit.h"
#include "annotationwriter.h"
#include "exception.h"

using namespace annotations;
using namespace annotest;

namespace {

std::string ErrorOf(TAnnotations& List, const TBytes& Payload) {
  try {
    List.LoadFromBuffer(Payload.data(), static_cast<int64_t>(Payload.size()));
  } catch (const Exception& E) {
    return E.what();
  }
  return "";
}

TAttributes Kind(int32_t Type) {
  TAttributes A;
  A.Type = Type;
  return A;
}

class TiffFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = std::filesystem::temp_directory_path() /
          ("annotations-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override { std::filesystem::remove_all(Dir); }
  std::string File(const std::string& Name) { return (Dir / Name).string(); }
  std::filesystem::path Dir;
};

}  // namespace

TEST(AnnotationPayload, AttributeRecordFillsEveryField) {
  TAttributes A = Kind(0x105);
  A.Highlighting = 7;
  A.Transparent = 0;
  TAnnotations List;
  const TBytes P = TPayloadWriter().Attributes(A).Bytes();
  List.LoadFromBuffer(P.data(), static_cast<int64_t>(P.size()));
  ASSERT_EQ(List.Count(), 1);
  auto* R = dynamic_cast<TAnnotationHollowRectangle*>(List.Items(0));
  ASSERT_NE(R, nullptr);
  EXPECT_EQ(R->Kind, 5);
  EXPECT_EQ(R->Index, 1);
  EXPECT_EQ(R->Group, "[Senza Nome]");
  EXPECT_EQ(R->Bounds.Left, 10);
  EXPECT_EQ(R->Bounds.Bottom, 70);
  EXPECT_EQ(R->Color1.Red, 255);
  EXPECT_EQ(R->Color2.Blue, 255);
  EXPECT_TRUE(R->Highlighting);
  EXPECT_FALSE(R->Transparent);
  EXPECT_TRUE(R->Visible);
  EXPECT_EQ(R->LineSize, 3);
  EXPECT_EQ(R->Font.Height, -16);
  EXPECT_EQ(R->Font.Weight, 700);
  EXPECT_EQ(R->Font.Italic, 1);
  EXPECT_EQ(R->Font.CharSet, 1);
  EXPECT_STREQ(R->Font.FaceName.data(), "Arial");
  EXPECT_EQ(R->Time, 123456);
  EXPECT_EQ(List.RawData().Bytes().size(), P.size());
}

TEST(AnnotationPayload, EachKindMakesItsClass) {
  TPayloadWriter W;
  for (int32_t K = 1; K <= 12; ++K) W.Attributes(Kind(K));
  TAnnotations List;
  List.LoadFromBuffer(W.Bytes().data(), static_cast<int64_t>(W.Bytes().size()));
  ASSERT_EQ(List.Count(), 12);
  EXPECT_NE(dynamic_cast<TAnnotationImageEmbedded*>(List.Items(0)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationImageReference*>(List.Items(1)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationStraightLine*>(List.Items(2)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationFreeHandLine*>(List.Items(3)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationHollowRectangle*>(List.Items(4)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationFilledRectangle*>(List.Items(5)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationTypedRectangle*>(List.Items(6)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationTextFromFile*>(List.Items(7)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationTextStamp*>(List.Items(8)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationAttachANote*>(List.Items(9)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationForm*>(List.Items(10)), nullptr);
  EXPECT_NE(dynamic_cast<TAnnotationatOCRRegion*>(List.Items(11)), nullptr);
  for (int32_t I = 0; I < 12; ++I) EXPECT_EQ(List.Items(I)->Index, I + 1);
}

// Payloads that fail, with the list left as the failure finds it.
TEST(AnnotationPayload, FailuresKeepWhatWasRead) {
  struct TCase {
    const char* Name;
    TBytes Payload;
    const char* Message;
    int32_t Kept;
  };
  const TCase Cases[] = {
      {"old 16-bit header", TPayloadWriter(0).Bytes(), "Old 16 bit annotation data", 0},
      {"kind 13", TPayloadWriter().Attributes(Kind(5)).Attributes(Kind(13)).Bytes(),
       "Unsupported annotation type", 1},
      {"kind 0", TPayloadWriter().Attributes(Kind(0x100)).Bytes(), "Unsupported annotation type",
       0},
      {"record type 3", TPayloadWriter().Attributes(Kind(5)).Int(3).Int(0).Bytes(),
       "Invalid annotation data", 1},
      {"default OiAnoDat", TPayloadWriter().Block(2, "OiAnoDat", TBytes(8)).Bytes(),
       "Invalid default named block type", 0},
      {"default OiAnText", TPayloadWriter().Block(2, "OiAnText", TBytes(16)).Bytes(),
       "Invalid default named block type", 0},
      {"default OiDIB", TPayloadWriter().Block(2, "OiDIB", TBytes(4)).Bytes(),
       "Invalid default named block type", 0},
      {"own OiFilNam before any mark", TPayloadWriter().Text(6, "OiFilNam", "a.tif").Bytes(),
       "Invalid default named block type", 0},
      {"OiFilNam on a rectangle",
       TPayloadWriter().Attributes(Kind(5)).Text(6, "OiFilNam", "a.tif").Bytes(),
       "Invalid named block type", 1},
      {"OiAnText on a line", TPayloadWriter().Attributes(Kind(3)).AnText(1000, "x").Bytes(),
       "Invalid named block type", 1},
      {"OiAnoDat on a text", TPayloadWriter().Attributes(Kind(7)).Points({{1, 2}}).Bytes(),
       "Invalid named block type", 1},
      {"third point of a straight line",
       TPayloadWriter().Attributes(Kind(3)).Points({{1, 2}, {3, 4}, {5, 6}}).Bytes(),
       "Only 2 points allowed for line annotation", 1},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TAnnotations List;
    EXPECT_EQ(ErrorOf(List, C.Payload), C.Message);
    EXPECT_EQ(List.Count(), C.Kept);
  }
}

TEST(AnnotationPayload, StraightLineKeepsItsFirstTwoPoints) {
  TAnnotations List;
  ErrorOf(List, TPayloadWriter().Attributes(Kind(3)).Points({{1, 2}, {3, 4}, {5, 6}}).Bytes());
  auto* Line = dynamic_cast<TGenericLineAnnotation*>(List.Items(0));
  ASSERT_EQ(Line->PointCount(), 2);
  EXPECT_EQ(Line->Points(1).X, 3);
  EXPECT_EQ(Line->Points(1).Y, 4);
}

TEST(AnnotationPayload, BlocksOfTheCurrentAnnotation) {
  TAnnotations List;
  const TBytes P = TPayloadWriter()
                       .Attributes(Kind(4))
                       .Points({{1, 2}, {3, 4}, {5, 6}})
                       .Text(6, "OiGroup", "Firme")
                       .Text(6, "OiIndex", "7")
                       .Attributes(Kind(9))
                       .AnText(1000, std::string("ab\0c", 4))
                       .Text(6, "OiIndex", "7x")
                       .Attributes(Kind(2))
                       .Text(6, "OiFilNam", "logo.bmp")
                       .Block(6, "OiAnoDat",
                              [] {
                                TBytes D;
                                for (int32_t V : {90, 200, 0, 0, 300, 150}) PutInt(D, V);
                                return D;
                              }())
                       .Block(6, "OiDIB", PackedDib(4, 4, 9))
                       .Bytes();
  ASSERT_EQ(ErrorOf(List, P), "");
  ASSERT_EQ(List.Count(), 3);
  auto* Line = dynamic_cast<TGenericLineAnnotation*>(List.Items(0));
  EXPECT_EQ(Line->PointCount(), 3);
  EXPECT_EQ(Line->Points(2).X, 5);
  EXPECT_EQ(Line->Group, "Firme");
  EXPECT_EQ(Line->Index, 7);
  auto* Stamp = dynamic_cast<TGenericTextAnnotation*>(List.Items(1));
  EXPECT_EQ(Stamp->Text, std::string("ab\0c", 4));
  EXPECT_EQ(Stamp->CreationDpi, 72);
  EXPECT_EQ(Stamp->Index, 0);
  auto* Ref = dynamic_cast<TAnnotationImageReference*>(List.Items(2));
  EXPECT_EQ(Ref->FileName, "logo.bmp");
  EXPECT_EQ(Ref->Rotation, 90);
  EXPECT_EQ(Ref->Scale, 200);
  EXPECT_EQ(Ref->OrigHorzResolution, 300);
  EXPECT_EQ(Ref->OrigVertResolution, 150);
}

TEST(AnnotationPayload, CreationDpiFromScale) {
  const std::pair<int32_t, int32_t> Cases[] = {
      {0, 96}, {750, 96}, {1000, 72}, {-750, -96}, {480000, 0}, {96000, 1} /* 0.75 */, {144000, 0}};
  for (auto [Scale, Dpi] : Cases) {
    SCOPED_TRACE(Scale);
    TAnnotations List;
    ASSERT_EQ(ErrorOf(List, TPayloadWriter().Attributes(Kind(7)).AnText(Scale, "t").Bytes()), "");
    EXPECT_EQ(dynamic_cast<TGenericTextAnnotation*>(List.Items(0))->CreationDpi, Dpi);
  }
}

TEST(AnnotationPayload, DefaultBlocksAndClear) {
  TAnnotations List;
  const TBytes P = TPayloadWriter()
                       .Text(6, "OiGroup", "ignored")
                       .Text(2, "OiGroup", "Revisione")
                       .Text(2, "OiIndex", "42")
                       .Attributes(Kind(5))
                       .Attributes(Kind(6))
                       .Bytes();
  ASSERT_EQ(ErrorOf(List, P), "");
  EXPECT_EQ(List.DefaultGroup, "Revisione");
  EXPECT_EQ(List.DefaultIndex, "42");
  EXPECT_EQ(List.Items(0)->Group, "Revisione");
  EXPECT_EQ(List.Items(1)->Group, "Revisione");
  EXPECT_EQ(List.Items(1)->Index, 2);
  List.Clear();
  EXPECT_EQ(List.Count(), 0);
  EXPECT_EQ(List.RawData().Bytes().size(), 0u);
  const TBytes Q = TPayloadWriter().Attributes(Kind(5)).Bytes();
  ASSERT_EQ(ErrorOf(List, Q), "");
  EXPECT_EQ(List.Items(0)->Group, "Revisione");
}

TEST(AnnotationPayload, SkippedBlocksAndSpareByte) {
  TAnnotations List;
  TBytes P = TPayloadWriter()
                 .Attributes(Kind(2))
                 .Block(6, "OiDIB", PackedDib(2, 2, 1))  // not embedded: skipped
                 .Block(6, "OiHypLnk", TBytes(13, 0xEE))
                 .Block(2, "OiHypLnk", TBytes(3, 0xEE))
                 .Block(6, "Unknown", TBytes(5, 0xEE), 20)  // DataSize beyond the header
                 .Raw(TBytes(8, 0xEE))
                 .Attributes(Kind(6))
                 .Bytes();
  P.push_back(0xFF);  // a lone last byte is never read
  ASSERT_EQ(ErrorOf(List, P), "");
  ASSERT_EQ(List.Count(), 2);
  EXPECT_EQ(List.Items(1)->Kind, 6);
  TAnnotations Empty;
  EXPECT_EQ(ErrorOf(Empty, TPayloadWriter().Bytes()), "");
  EXPECT_EQ(Empty.Count(), 0);
}

TEST(AnnotationPayload, EmbeddedImageOwnsItsBlock) {
  const TBytes Dib = PackedDib(4, 3, 77);
  TAnnotations List;
  const TBytes P = TPayloadWriter()
                       .Attributes(Kind(1))
                       .Block(6, "OiDIB", PackedDib(2, 2, 5))
                       .Block(6, "OiDIB", Dib)  // the second replaces the first
                       .Bytes();
  const size_t Before = win32::GlobalLiveBytes();
  ASSERT_EQ(ErrorOf(List, P), "");
  auto* Image = dynamic_cast<TAnnotationImageEmbedded*>(List.Items(0));
  ASSERT_NE(Image->Dib(), nullptr);
  ASSERT_EQ(win32::GlobalSize(Image->Dib()), Dib.size());
  const auto* Bytes = static_cast<const uint8_t*>(win32::GlobalLock(Image->Dib()));
  EXPECT_TRUE(std::equal(Dib.begin(), Dib.end(), Bytes));
  win32::GlobalUnlock(Image->Dib());
  EXPECT_EQ(win32::GlobalLiveBytes() - Before, Dib.size());
  List.Clear();
  EXPECT_EQ(win32::GlobalLiveBytes(), Before);
}

// Lengths, counts and texts that run past their block or the payload are refused; sizes never
// move the reader backwards.
TEST(AnnotationPayload, FieldsPastTheirBlockAreRefused) {
  auto Ints = [](std::initializer_list<int32_t> Values) {
    TBytes D;
    for (int32_t V : Values) PutInt(D, V);
    return D;
  };
  struct TCase {
    const char* Name;
    TBytes Payload;
    int32_t Kept;
  };
  const TCase Cases[] = {
      {"short header", TBytes{0, 0, 0, 0, 1, 0}, 0},
      {"lone record header", TPayloadWriter().Attributes(Kind(5)).Int(5).Bytes(), 1},
      {"attribute record cut",
       [] {
         TBytes B = TPayloadWriter().Attributes(Kind(5)).Bytes();
         B.resize(B.size() - 10);
         return B;
       }(),
       0},
      {"attribute DataSize 0", TPayloadWriter().Attributes(Kind(5), 0).Bytes(), 0},
      {"attribute DataSize negative", TPayloadWriter().Attributes(Kind(5), -172).Bytes(), 0},
      {"attribute DataSize past the payload", TPayloadWriter().Attributes(Kind(5), 400).Bytes(), 0},
      {"block DataSize 0", TPayloadWriter().Block(2, "OiHypLnk", TBytes(4), 0).Bytes(), 0},
      {"block DataSize negative", TPayloadWriter().Block(2, "OiHypLnk", TBytes(4), -20).Bytes(), 0},
      {"block Size negative",
       TPayloadWriter()
           .Int(2)
           .Int(12)
           .Raw(TBytes{'O', 'i', 'H', 'y', 'p', 'L', 'n', 'k'})
           .Int(-20)
           .Bytes(),
       0},
      {"block Size past the payload",
       TPayloadWriter()
           .Int(2)
           .Int(12)
           .Raw(TBytes{'O', 'i', 'D', 'I', 'B', 0, 0, 0})
           .Int(1000)
           .Raw(TBytes(10))
           .Bytes(),
       0},
      {"block header cut", TPayloadWriter().Int(6).Int(12).Raw(TBytes(6)).Bytes(), 0},
      {"point count past the block",
       TPayloadWriter().Attributes(Kind(4)).Block(6, "OiAnoDat", Ints({0, 3, 1, 2, 3, 4})).Bytes(),
       1},
      {"point count negative",
       TPayloadWriter().Attributes(Kind(4)).Block(6, "OiAnoDat", Ints({0, -1})).Bytes(), 1},
      {"point block too short",
       TPayloadWriter().Attributes(Kind(4)).Block(6, "OiAnoDat", Ints({0})).Bytes(), 1},
      {"image placement too short",
       TPayloadWriter().Attributes(Kind(2)).Block(6, "OiAnoDat", Ints({0, 1, 2})).Bytes(), 1},
      {"text length past the block",
       TPayloadWriter().Attributes(Kind(7)).Block(6, "OiAnText", Ints({0, 0, 1000, 5, 0})).Bytes(),
       1},
      {"text length negative",
       TPayloadWriter().Attributes(Kind(7)).Block(6, "OiAnText", Ints({0, 0, 1000, -4})).Bytes(),
       1},
      {"text block too short",
       TPayloadWriter().Attributes(Kind(7)).Block(6, "OiAnText", Ints({0, 0})).Bytes(), 1},
      {"group without its zero",
       TPayloadWriter().Attributes(Kind(5)).Block(6, "OiGroup", TBytes{'a', 'b'}).Bytes(), 1},
      {"default index without its zero", TPayloadWriter().Block(2, "OiIndex", TBytes{'1'}).Bytes(),
       0},
      {"file name without its zero",
       TPayloadWriter().Attributes(Kind(2)).Block(6, "OiFilNam", TBytes{'a'}).Bytes(), 1},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TAnnotations List;
    EXPECT_EQ(ErrorOf(List, C.Payload), "Invalid annotation data");
    EXPECT_EQ(List.Count(), C.Kept);
  }
}

TEST_F(TiffFiles, PagesOfBothByteOrders) {
  const TBytes First = TPayloadWriter().Attributes(Kind(5)).Bytes();
  const TBytes Third = TPayloadWriter()
                           .Attributes(Kind(3))
                           .Points({{100000, 2}, {3, 70000}})
                           .Attributes(Kind(10))
                           .AnText(750, "Nota")
                           .Bytes();
  for (bool Big : {false, true}) {
    SCOPED_TRACE(Big ? "MM" : "II");
    const std::string Name = File(Big ? "big.tif" : "little.tif");
    WriteTiff(Name, {{First}, {}, {Third}}, Big);
    TAnnotations List;
    List.LoadFromTiffFile(Name, 0);
    ASSERT_EQ(List.Count(), 1);
    EXPECT_EQ(List.Items(0)->Kind, 5);
    List.LoadFromTiffFile(Name, 1);
    EXPECT_EQ(List.Count(), 0);
    List.LoadFromTiffFile(Name, 2);
    ASSERT_EQ(List.Count(), 2);
    EXPECT_EQ(dynamic_cast<TGenericLineAnnotation*>(List.Items(0))->Points(0).X, 100000);
    EXPECT_EQ(dynamic_cast<TGenericTextAnnotation*>(List.Items(1))->Text, "Nota");
    EXPECT_EQ(dynamic_cast<TGenericTextAnnotation*>(List.Items(1))->CreationDpi, 96);
    for (int32_t Page : {3, -1}) {
      try {
        List.LoadFromTiffFile(Name, Page);
        ADD_FAILURE() << "page " << Page;
      } catch (const Exception& E) {
        EXPECT_STREQ(E.what(), "Invalid TIFF Page Number");
      }
    }
  }
}

TEST_F(TiffFiles, DecoderFindsTheTagAtTheStreamsPosition) {
  const TBytes Payload = TPayloadWriter().Attributes(Kind(6)).Bytes();
  WriteTiff(File("a.tif"), {{Payload}}, true);
  TMemoryStream Tiff;
  Tiff.LoadFromFile(File("a.tif"));
  TMemoryStream Stream;
  Stream.WriteBuffer("prefix", 6);
  Stream.WriteBuffer(Tiff.Memory(), Tiff.Size());
  Stream.SetPosition(6);
  TTiffDecoder Decoder(Stream);
  ASSERT_TRUE(Decoder.IsValid());
  EXPECT_TRUE(Decoder.BigEndian());
  Decoder.SelectPage(0);
  EXPECT_GE(Decoder.FindTag(256), 0);
  EXPECT_EQ(Decoder.FindTag(999), -1);
  EXPECT_EQ(Decoder.TagDataSize(999), 0u);
  ASSERT_EQ(Decoder.TagDataSize(kAnnotationTag), Payload.size());
  TBytes Read(Payload.size());
  EXPECT_EQ(Decoder.ReadTagData(kAnnotationTag, Read.data()), Payload.size());
  EXPECT_EQ(Read, Payload);
  try {
    Decoder.ReadTagData(999, nullptr);
    ADD_FAILURE();
  } catch (const Exception& E) {
    EXPECT_STREQ(E.what(), "TIFF Tag Not Found: 999");
  }
}

namespace {

// A little-endian TIFF of hand-made directories: each has one entry and points at Next[i].
TBytes DirectoryChain(const std::vector<int32_t>& Next) {
  TBytes B{'I', 'I', 42, 0};
  PutInt(B, 8);
  for (size_t I = 0; I < Next.size(); ++I) {
    B.push_back(1);
    B.push_back(0);
    for (int32_t V : {0x00040100 /* tag 256, type 4 */, 1, 16}) PutInt(B, V);
    PutInt(B, Next[I]);
  }
  return B;
}

std::string LoadError(const TBytes& File, int32_t Page, TAnnotations& List) {
  TMemoryStream Stream(File);
  try {
    List.LoadFromTiffStream(Stream, Page);
  } catch (const Exception& E) {
    return E.what();
  }
  return "";
}

}  // namespace

TEST(TiffChain, CirclesEndAndBadFilesFail) {
  // Directories are 18 bytes, from offset 8: 8, 26, 44.
  struct TCase {
    const char* Name;
    TBytes File;
    int32_t Page;
    const char* Message;
  };
  const TCase Cases[] = {
      {"a directory pointing at itself", DirectoryChain({8}), 1, "Invalid TIFF Page Number"},
      {"its own page", DirectoryChain({8}), 0, ""},
      {"a circle of two", DirectoryChain({26, 8}), 5, "Invalid TIFF Page Number"},
      {"a circle of three", DirectoryChain({26, 44, 8}), 1000000, "Invalid TIFF Page Number"},
      {"the last of the circle", DirectoryChain({26, 44, 8}), 2, ""},
      {"zero first offset",
       [] {
         TBytes B = DirectoryChain({0});
         B[4] = 0;
         return B;
       }(),
       0, "Invalid TIFF Page Number"},
      {"negative first offset",
       [] {
         TBytes B = DirectoryChain({0});
         B[7] = 0x80;
         return B;
       }(),
       0, "Invalid TIFF Page Number"},
      {"a next offset past the file", DirectoryChain({5000}), 1, "Invalid TIFF Data"},
      {"not a TIFF", TBytes{'X', 'X', 0, 0, 8, 0, 0, 0}, 0, "Invalid TIFF Data"},
      {"shorter than the header", TBytes{'I', 'I', 42}, 0, "Invalid TIFF Data"},
      {"entries past the file",
       [] {
         TBytes B = DirectoryChain({0});
         B[8] = 200;
         return B;
       }(),
       0, "Invalid TIFF Data"},
      {"a directory with no entries",
       [] {
         TBytes B = DirectoryChain({0});
         B[8] = 0;
         return B;
       }(),
       0, "Invalid TIFF Page Number"},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.Name);
    TAnnotations List;
    EXPECT_EQ(LoadError(C.File, C.Page, List), C.Message);
  }
}

TEST(TiffChain, TagBytesPastTheFileAreRefused) {
  TBytes B{'I', 'I', 42, 0};
  PutInt(B, 8);
  B.push_back(1);
  B.push_back(0);
  PutInt(B, 32932 | 7 << 16);
  PutInt(B, 0x7FFFFFF0);  // count
  PutInt(B, 26);          // offset
  PutInt(B, 0);
  TAnnotations List;
  EXPECT_EQ(LoadError(B, 0, List), "Invalid TIFF Data");
}

// With CLARIVO_ANNOTATION_SEEDS set, writes the fuzzer's seed corpus there.
TEST_F(TiffFiles, WritesFuzzSeedsWhenAsked) {
  const char* Out = std::getenv("CLARIVO_ANNOTATION_SEEDS");
  if (Out == nullptr) GTEST_SKIP() << "CLARIVO_ANNOTATION_SEEDS not set";
  TPayloadWriter All;
  All.Text(2, "OiGroup", "G").Text(2, "OiIndex", "3");
  for (int32_t K = 1; K <= 12; ++K) All.Attributes(Kind(K)).Text(6, "OiIndex", "5");
  TPayloadWriter Rich;
  Rich.Attributes(Kind(1))
      .Block(6, "OiDIB", PackedDib(3, 2, 4))
      .Attributes(Kind(2))
      .Text(6, "OiFilNam", "f.bmp")
      .Block(6, "OiAnoDat", TBytes(24))
      .Attributes(Kind(3))
      .Points({{1, 2}, {3, 4}})
      .Attributes(Kind(4))
      .Points({{1, 2}, {3, 4}, {5, 6}})
      .Attributes(Kind(10))
      .AnText(1000, "Nota")
      .Block(6, "OiHypLnk", TBytes(4));
  const std::vector<std::pair<std::string, TBytes>> Seeds = {{"kinds.bin", All.Bytes()},
                                                             {"blocks.bin", Rich.Bytes()}};
  std::filesystem::create_directories(Out);
  for (const auto& [Name, Bytes] : Seeds) {
    std::ofstream(std::string(Out) + "/" + Name, std::ios::binary)
        .write(reinterpret_cast<const char*>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
  }
  WriteTiff(std::string(Out) + "/little.tif", {{All.Bytes()}, {Rich.Bytes()}}, false);
  WriteTiff(std::string(Out) + "/big.tif", {{Rich.Bytes()}, {}}, true);
  std::ofstream(std::string(Out) + "/circle.tif", std::ios::binary)
      .write(reinterpret_cast<const char*>(DirectoryChain({26, 8}).data()), 44);
}
