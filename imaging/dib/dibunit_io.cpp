// Loading pages from streams and files, and saving them as BMP file images.
#include <cstring>

#include "dibunit.h"

namespace {

// Reads up to count bytes at the position and puts the position back.
int64_t Peek(TStream& Stream, void* Buffer, int64_t Count) {
  int64_t position = Stream.Position();
  int64_t got = Stream.Read(Buffer, Count);
  Stream.SetPosition(position);
  return got;
}

[[noreturn]] void Refuse(const std::string& Why) {
  throw Exception("Invalid bitmap file: " + Why);
}

void CheckInfoHeader(const win32::BITMAPINFOHEADER& Info) {
  if (Info.biSize != 40) {
    Refuse("header size " + std::to_string(Info.biSize) + " is not supported");
  }
  if (Info.biPlanes != 1) Refuse(std::to_string(Info.biPlanes) + " planes");
  switch (Info.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      break;
    default:
      Refuse(std::to_string(Info.biBitCount) + " bits per pixel are not supported");
  }
  if (Info.biCompression != win32::BI_RGB) {
    Refuse("compression " + std::to_string(Info.biCompression) + " is not supported");
  }
  if (Info.biHeight < 0) Refuse("top-down bitmaps are not supported");
  if (Info.biWidth <= 0 || Info.biHeight == 0) {
    Refuse("size " + std::to_string(Info.biWidth) + " x " + std::to_string(Info.biHeight));
  }
}

uint8_t PixelTypeOfBits(int32_t Bits) {
  return Bits == 1 ? pt1bit : Bits == 4 ? pt4bit : Bits == 8 ? pt8bit : pt24bit;
}

}  // namespace

bool IsBMP(TStream& Stream) {
  uint8_t bytes[14];
  return Peek(Stream, bytes, 14) >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
}

bool IsTIFF(TStream& Stream) {
  uint8_t bytes[4];
  return Peek(Stream, bytes, 4) >= 2 &&
         ((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M'));
}

bool IsPNG(TStream& Stream) {
  static const uint8_t kSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
  uint8_t bytes[8];
  return Peek(Stream, bytes, 8) == 8 && std::memcmp(bytes, kSignature, 8) == 0;
}

void TDIB::LoadFromStream(TStream& Stream, int32_t PageIndex) {
  if (IsBMP(Stream)) {
    LoadBMP(Stream);
  } else if (IsTIFF(Stream)) {
    LoadTIFF(Stream, PageIndex);
  } else if (IsPNG(Stream)) {
    LoadPNG(Stream);
  } else {
    LoadJPEG(Stream);
  }
}

void TDIB::LoadFromFile(const std::string& FileName, int32_t PageIndex) {
  TFileStream file(FileName, TFileMode::fmOpenRead);
  LoadFromStream(file, PageIndex);
}

// The block is always built in the packed layout (header, full palette, rows), whatever gap
// or short palette the file has, so that the page can be saved and handed on as it is.
void TDIB::LoadBMP(TStream& Stream) {
  FreeImage();
  try {
    win32::BITMAPFILEHEADER file{};
    if (Stream.Read(&file, 14) != 14 || file.bfType != win32::kBitmapSignature) {
      throw Exception("Invalid bitmap file !");
    }
    win32::BITMAPINFOHEADER info{};
    if (Stream.Read(&info, 40) != 40) Refuse("the header is truncated");
    CheckInfoHeader(info);
    CheckImageSize(info.biWidth, info.biHeight, PixelTypeOfBits(info.biBitCount));
    FFileHeader = file;
    ReadBMPRows(Stream, info);
  } catch (...) {
    FreeImage();
    throw;
  }
}

void TDIB::ReadBMPRows(TStream& Stream, const win32::BITMAPINFOHEADER& Info) {
  uint8_t pixelType = PixelTypeOfBits(Info.biBitCount);
  TDIBLayout layout;
  LayoutForType(Info.biWidth, Info.biHeight, pixelType, layout);
  int64_t colors = Info.biBitCount <= 8 ? int64_t{1} << Info.biBitCount : 0;
  int64_t rowBytes = int64_t{Info.biHeight} * layout.Stride;
  int64_t offBits = FFileHeader.bfOffBits;
  if (offBits < 54 || offBits > FFileHeader.bfSize) {
    Refuse("bits offset " + std::to_string(offBits));
  }
  if (offBits + rowBytes > FFileHeader.bfSize) {
    Refuse("file size " + std::to_string(FFileHeader.bfSize) + " is too small for its rows");
  }
  int64_t rest = int64_t{FFileHeader.bfSize} - 54;
  if (Stream.Remaining() < rest) Refuse("the file is truncated");

  FHandle = win32::GlobalAlloc(win32::GHND, static_cast<size_t>(layout.BlockSize));
  if (FHandle == nullptr) throw Exception(win32::ErrorText(win32::GetLastError()));
  Lock();
  auto* block = static_cast<uint8_t*>(FMemory);
  std::memcpy(block, &Info, 40);
  // A short palette is filled out below and a count beyond the bit depth's palette is cut to
  // it: the header counts the whole palette, as the rows follow the whole of it.
  auto* header = reinterpret_cast<win32::BITMAPINFOHEADER*>(block);
  if (header->biClrUsed != 0 && header->biClrUsed != colors) {
    header->biClrUsed = static_cast<uint32_t>(colors);
  }
  if (header->biClrImportant > colors) header->biClrImportant = static_cast<uint32_t>(colors);

  // Palette entries that lie between the header and the rows; missing ones stay black.
  int64_t stored = std::min((offBits - 54) / 4, colors);
  Stream.ReadBuffer(block + 40, stored * 4);
  Stream.Seek(offBits - 54 - stored * 4, TSeekOrigin::soCurrent);
  Stream.ReadBuffer(block + 40 + colors * 4, rowBytes);
  Stream.Seek(rest - (offBits - 54) - rowBytes, TSeekOrigin::soCurrent);

  FFileHeader.bfOffBits = static_cast<uint32_t>(54 + 4 * colors);
  ParseHeader();
  BuildLineTable();
}

void TDIB::SaveToStream(TStream& Stream) {
  // An emptied page keeps its old block size but has no block to write.
  if (Empty()) throw Exception("No image to save");
  FFileHeader = {};
  FFileHeader.bfType = win32::kBitmapSignature;
  FFileHeader.bfSize = static_cast<uint32_t>(FBlockSize + 14);
  FFileHeader.bfOffBits = static_cast<uint32_t>(54 + 4 * FColorCount);
  Stream.WriteBuffer(&FFileHeader, 14);
  Stream.WriteBuffer(FMemory, FBlockSize);
}

void TDIB::SaveToFile(const std::string& FileName) {
  TFileStream file(FileName, TFileMode::fmCreate);
  SaveToStream(file);
}
