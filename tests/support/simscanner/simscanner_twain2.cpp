// What the simulated scanner does as a 2.x source: the entry points it is given, and the
// pages it hands over through their memory functions.
#include "globalmem.h"
#include "simscanner_source.h"
#include "streams.h"

TW_UINT16 TSimScanner::EntryPoint(TW_UINT16 MSG, TW_MEMREF pData) {
  if (!FMemory.Twain2()) return Fail(TWCC_BADPROTOCOL);
  if (MSG != MSG_SET) return Fail(TWCC_BADPROTOCOL);
  if (pData == nullptr) return Fail(TWCC_BADVALUE);
  if (FState != 3) return Fail(TWCC_SEQERROR);
  if (!FMemory.SetEntryPoints(*static_cast<const TW_ENTRYPOINT*>(pData)))
    return Fail(TWCC_BADVALUE);
  return TWRC_SUCCESS;
}

TW_HANDLE TSimScanner::HandedPage() {
  TDIB& page = CurrentPage();
  if (FSettings.NativeTiff) {
    TMemoryStream tiff;
    page.SaveTIFFToStream(tiff, false, 1, 0);  // uncompressed: every pixel as it was made
    return FMemory.Copy(tiff.Memory(), tiff.Bytes().size());
  }
  void* bytes = win32::GlobalLock(page.GetHandle());
  TW_HANDLE block = FMemory.Copy(bytes, static_cast<size_t>(page.BlockSize()));
  win32::GlobalUnlock(page.GetHandle());
  return block;
}
