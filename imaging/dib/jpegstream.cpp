#include "jpegstream.h"

#include <jerror.h>

#include <cstring>

#include "exception.h"

namespace jpegstream {

inline constexpr size_t kBlockSize = 4096;

struct TStreamSource {
  jpeg_source_mgr Pub;  // first, as the library sees it
  TStream* Stream = nullptr;
  bool StartOfFile = true;
  int64_t BytesRead = 0;
  JOCTET Buffer[kBlockSize];
};

struct TStreamDestination {
  jpeg_destination_mgr Pub;  // first, as the library sees it
  TStream* Stream = nullptr;
  JOCTET Buffer[kBlockSize];
};

namespace {

TJpegErrorManager& ErrorOf(j_common_ptr Info) {
  return *reinterpret_cast<TJpegErrorManager*>(Info->err);
}

[[noreturn]] void ErrorExit(j_common_ptr Info) {
  TJpegErrorManager& error = ErrorOf(Info);
  (*Info->err->format_message)(Info, error.Message);
  std::longjmp(error.Jump, 1);
}

void OutputMessage(j_common_ptr) {}

// Warnings are counted, never printed; entropy data that ends before its scan does (a file
// cut short or corrupt) is an error, so that no page is made of the zeros put in its place.
void EmitMessage(j_common_ptr Info, int Level) {
  if (Level >= 0) return;
  ++Info->err->num_warnings;
  if (Info->err->msg_code == JWRN_HIT_MARKER) ErrorExit(Info);
}

// Runs after setjmp returned from a jump: raise what failed, a stream's own exception first.
[[noreturn]] void RaiseJpegError(TJpegErrorManager& Error) {
  if (Error.Pending) {
    std::exception_ptr pending = Error.Pending;
    Error.Pending = nullptr;
    std::rethrow_exception(pending);
  }
  throw Exception(Error.Message);
}

void InstallErrorManager(TJpegErrorManager& Error) {
  jpeg_std_error(&Error.Pub);
  Error.Pub.error_exit = ErrorExit;
  Error.Pub.output_message = OutputMessage;
  Error.Pub.emit_message = EmitMessage;
  Error.Message[0] = '\0';
}

// The stream calls of the managers: a caught exception is kept for the wrapper to raise, and
// the library is told through its error exit, outside any C++ scope.
int64_t ReadBlock(j_decompress_ptr Info, TStreamSource& Source) {
  try {
    return Source.Stream->Read(Source.Buffer, kBlockSize);
  } catch (...) {
    ErrorOf(reinterpret_cast<j_common_ptr>(Info)).Pending = std::current_exception();
  }
  return -1;
}

bool WriteBlock(j_compress_ptr Info, TStreamDestination& Destination, size_t Count) {
  try {
    Destination.Stream->WriteBuffer(Destination.Buffer, static_cast<int64_t>(Count));
    return true;
  } catch (...) {
    ErrorOf(reinterpret_cast<j_common_ptr>(Info)).Pending = std::current_exception();
  }
  return false;
}

void InitSource(j_decompress_ptr Info) {
  reinterpret_cast<TStreamSource*>(Info->src)->StartOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr Info) {
  auto& source = *reinterpret_cast<TStreamSource*>(Info->src);
  int64_t got = ReadBlock(Info, source);
  if (got < 0) ERREXIT(Info, JERR_FILE_READ);
  if (got == 0) {
    // A stream that ends before the end marker is a file cut short.
    ERREXIT(Info, source.StartOfFile ? JERR_INPUT_EMPTY : JWRN_JPEG_EOF);
  }
  source.Pub.next_input_byte = source.Buffer;
  source.Pub.bytes_in_buffer = static_cast<size_t>(got);
  source.BytesRead += got;
  source.StartOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr Info, long Count) {
  if (Count <= 0) return;
  auto& source = *reinterpret_cast<TStreamSource*>(Info->src);
  auto count = static_cast<size_t>(Count);
  if (count <= source.Pub.bytes_in_buffer) {
    source.Pub.next_input_byte += count;
    source.Pub.bytes_in_buffer -= count;
    return;
  }
  int64_t beyond = static_cast<int64_t>(count - source.Pub.bytes_in_buffer);
  source.Pub.bytes_in_buffer = 0;
  bool failed = false;
  try {
    source.Stream->Seek(beyond, TSeekOrigin::soCurrent);
  } catch (...) {
    ErrorOf(reinterpret_cast<j_common_ptr>(Info)).Pending = std::current_exception();
    failed = true;
  }
  if (failed) ERREXIT(Info, JERR_FILE_READ);
}

void TermSource(j_decompress_ptr) {}

void InitDestination(j_compress_ptr Info) {
  auto& destination = *reinterpret_cast<TStreamDestination*>(Info->dest);
  destination.Pub.next_output_byte = destination.Buffer;
  destination.Pub.free_in_buffer = kBlockSize;
}

boolean EmptyOutputBuffer(j_compress_ptr Info) {
  auto& destination = *reinterpret_cast<TStreamDestination*>(Info->dest);
  if (!WriteBlock(Info, destination, kBlockSize)) ERREXIT(Info, JERR_FILE_WRITE);
  destination.Pub.next_output_byte = destination.Buffer;
  destination.Pub.free_in_buffer = kBlockSize;
  return TRUE;
}

void TermDestination(j_compress_ptr Info) {
  auto& destination = *reinterpret_cast<TStreamDestination*>(Info->dest);
  size_t count = kBlockSize - destination.Pub.free_in_buffer;
  if (count > 0 && !WriteBlock(Info, destination, count)) ERREXIT(Info, JERR_FILE_WRITE);
}

bool IsStandalone(uint8_t Marker) {
  return Marker == 0x01 || (Marker >= 0xD0 && Marker <= 0xD9);
}

[[noreturn]] void FailInput(j_common_ptr Info, const char* Message) {
  TJpegErrorManager& error = ErrorOf(Info);
  std::snprintf(error.Message, sizeof error.Message, Message, kMaxJpegScans);
  std::longjmp(error.Jump, 1);
}

bool IsRestartMarker(int Marker) {
  return Marker >= 0xD0 && Marker <= 0xD7;
}

// Called before each row of input the library takes. A scan beyond the limit is refused as it
// begins. A scan whose entropy data end (a marker other than a restart is reached) with more
// than one row of blocks to go is refused: arithmetic coding and runs of empty blocks never
// warn of it, and the library would put zeros in place of the missing data. Huffman coding
// ends its data early only in runs of empty blocks, which take bytes of their own; the
// arithmetic decoder asks for no byte it does not need.
void WatchInput(j_common_ptr Info) {
  auto* decompressor = reinterpret_cast<j_decompress_ptr>(Info);
  auto& progress = *reinterpret_cast<TJpegProgress*>(Info->progress);
  if (decompressor->input_scan_number > kMaxJpegScans) {
    FailInput(Info, "JPEG image has more than %d scans");
  }
  int64_t taken =
      progress.Source->BytesRead - static_cast<int64_t>(decompressor->src->bytes_in_buffer);
  if (decompressor->input_scan_number != progress.Scan) {
    progress.Scan = decompressor->input_scan_number;
    progress.ScanStart = taken;
    return;
  }
  int marker = decompressor->unread_marker;
  bool ended = marker != 0 && !IsRestartMarker(marker) &&
               decompressor->input_iMCU_row + 1 < decompressor->total_iMCU_rows;
  // The marker's own two bytes are all that a scan without data takes.
  bool empty = taken - progress.ScanStart <= 2;
  if (ended && (decompressor->arith_code || empty)) {
    FailInput(Info, "JPEG data end before the image does");
  }
}

}  // namespace

std::string TooManyScansText() {
  return "JPEG image has more than " + std::to_string(kMaxJpegScans) + " scans";
}

// Outside segments, a 0xFF is a marker (or fill before one); inside entropy data a 0xFF is
// stuffed with 0 or starts a restart marker, which carry no length.
int CountScans(const uint8_t* Data, size_t Size) {
  int scans = 0;
  size_t i = 0;
  while (i + 1 < Size) {
    if (Data[i] != 0xFF || Data[i + 1] == 0xFF) {
      ++i;
      continue;
    }
    const uint8_t marker = Data[i + 1];
    i += 2;
    if (marker == 0 || IsStandalone(marker) || i + 2 > Size) continue;
    if (marker == 0xDA) ++scans;
    i += static_cast<size_t>(Data[i] << 8 | Data[i + 1]);
  }
  return scans;
}

// ---- TJpegDecompressor ----

template <typename TCall>
auto TJpegDecompressor::Guarded(TCall&& Call) {
  if (setjmp(FError.Jump) != 0) RaiseJpegError(FError);
  return Call();
}

TJpegDecompressor::TJpegDecompressor() {
  InstallErrorManager(FError);
  FInfo.err = &FError.Pub;
  Guarded([this] { jpeg_create_decompress(&FInfo); });
  FInfo.mem->max_memory_to_use = kMaxJpegMemory;
  FProgress.Pub.progress_monitor = WatchInput;
  FInfo.progress = &FProgress.Pub;
}

TJpegDecompressor::~TJpegDecompressor() {
  jpeg_destroy_decompress(&FInfo);
}

void TJpegDecompressor::SetSource(TStream& Stream) {
  FSource = std::make_unique<TStreamSource>();
  FSource->Stream = &Stream;
  FSource->Pub.init_source = InitSource;
  FSource->Pub.fill_input_buffer = FillInputBuffer;
  FSource->Pub.skip_input_data = SkipInputData;
  FSource->Pub.resync_to_restart = jpeg_resync_to_restart;
  FSource->Pub.term_source = TermSource;
  FSource->Pub.bytes_in_buffer = 0;
  FSource->Pub.next_input_byte = nullptr;
  FInfo.src = &FSource->Pub;
  FProgress.Source = FSource.get();
}

void TJpegDecompressor::ReadHeader() {
  Guarded([this] { jpeg_read_header(&FInfo, TRUE); });
}

int64_t TJpegDecompressor::BufferedBytes() const {
  if (jpeg_has_multiple_scans(const_cast<j_decompress_ptr>(&FInfo)) == FALSE) return 0;
  int64_t bytes = 0;
  for (int c = 0; c < FInfo.num_components; ++c) {
    const jpeg_component_info& component = FInfo.comp_info[c];
    bytes += int64_t{component.width_in_blocks} * component.height_in_blocks * DCTSIZE2 *
             kCoefficientBytes;
  }
  return bytes;
}

TJpegHeaderInfo TJpegDecompressor::GetHeaderInfo() const {
  return {FInfo.image_width,   FInfo.image_height,      FInfo.output_width,
          FInfo.output_height, FInfo.output_components, FInfo.density_unit,
          FInfo.X_density,     FInfo.Y_density,         FInfo.jpeg_color_space};
}

void TJpegDecompressor::SetOutColorSpace(int ColorSpace) {
  FInfo.out_color_space = ColorSpace == jcGrayscale ? JCS_GRAYSCALE : JCS_RGB;
}

void TJpegDecompressor::StartDecompress() {
  Guarded([this] { jpeg_start_decompress(&FInfo); });
}

void TJpegDecompressor::ReadScanline(uint8_t* Row) {
  Guarded([this, Row] {
    JSAMPROW rows[1] = {Row};
    jpeg_read_scanlines(&FInfo, rows, 1);
  });
}

void TJpegDecompressor::FinishDecompress() {
  Guarded([this] { jpeg_finish_decompress(&FInfo); });
}

// ---- TJpegCompressor ----

template <typename TCall>
auto TJpegCompressor::Guarded(TCall&& Call) {
  if (setjmp(FError.Jump) != 0) RaiseJpegError(FError);
  return Call();
}

TJpegCompressor::TJpegCompressor() {
  InstallErrorManager(FError);
  FInfo.err = &FError.Pub;
  Guarded([this] { jpeg_create_compress(&FInfo); });
}

TJpegCompressor::~TJpegCompressor() {
  jpeg_destroy_compress(&FInfo);
}

void TJpegCompressor::SetDestination(TStream& Stream) {
  FDestination = std::make_unique<TStreamDestination>();
  FDestination->Stream = &Stream;
  FDestination->Pub.init_destination = InitDestination;
  FDestination->Pub.empty_output_buffer = EmptyOutputBuffer;
  FDestination->Pub.term_destination = TermDestination;
  FInfo.dest = &FDestination->Pub;
}

void TJpegCompressor::SetCompressParams(uint32_t Width, uint32_t Height, int Components,
                                        uint8_t DensityUnit, uint16_t XDensity, uint16_t YDensity,
                                        int ColorSpace, int Quality, bool Progressive,
                                        bool Optimize) {
  Guarded([&] {
    FInfo.image_width = Width;
    FInfo.image_height = Height;
    FInfo.input_components = Components;
    FInfo.in_color_space = ColorSpace == jcGrayscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&FInfo);
    FInfo.density_unit = DensityUnit;
    FInfo.X_density = XDensity;
    FInfo.Y_density = YDensity;
    jpeg_set_quality(&FInfo, Quality, TRUE);
    if (Progressive) jpeg_simple_progression(&FInfo);
    FInfo.optimize_coding = Optimize ? TRUE : FALSE;
  });
}

void TJpegCompressor::StartCompress() {
  Guarded([this] { jpeg_start_compress(&FInfo, TRUE); });
}

void TJpegCompressor::WriteScanline(const uint8_t* Row) {
  Guarded([this, Row] {
    JSAMPROW rows[1] = {const_cast<JSAMPLE*>(Row)};
    jpeg_write_scanlines(&FInfo, rows, 1);
  });
}

void TJpegCompressor::FinishCompress() {
  Guarded([this] { jpeg_finish_compress(&FInfo); });
}

}  // namespace jpegstream
