// TScanClient: the data source's end of the scan protocol. It connects to the control panel,
// sends the scan request once per scan session, fetches processed pages and unprocessed
// originals, and shows a page that failed the panel's quality check for review before it hands
// it back. Every call returns only when its whole exchange is over; a reader waits on the
// socket (never spinning) for at most the reply time-out.
//
// A page leaves the client as the handle of a packed DIB in a movable global memory block,
// which belongs to the caller from then on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "UnitSharedParam.h"
#include "globalmem.h"
#include "tcpclient.h"

class TDIB;

class TScanClient {
 public:
  // Reviews a flagged page and may replace its image; the page does not own its block, and a
  // replacement must leave it so. The default shows the quality-control window.
  using TQualityReview = std::function<void(TDIB& Page)>;
  // The unprocessed original of the last page, or nullptr; the caller owns the block.
  using TFetchOriginal = std::function<win32::HGLOBAL()>;

  // The control panel answers a page request within its scanner time-out (20 s unless the
  // settings say otherwise); the client waits that long and a margin more.
  static constexpr int kReplyMarginMs = 10000;
  static constexpr int kDefaultReplyTimeoutMs = 20000 + kReplyMarginMs;
  // A control panel that is there accepts at once; an address that never answers is given up
  // after this long.
  static constexpr int kConnectTimeoutMs = 5000;
  // A control panel that knows CMD_GET_REFUSAL answers it at once; one that does not never
  // answers, and is not asked again on the connection once this has passed.
  static constexpr int kRefusalWaitMs = 3000;
  // A reply can be no longer than the largest page as a BMP file image behind the page reply's
  // header, or a path behind it.
  static const int64_t kLongestPageReply;
  static const int64_t kLongestFileReply;

  TScanClient();
  ~TScanClient();
  TScanClient(const TScanClient&) = delete;
  TScanClient& operator=(const TScanClient&) = delete;

  // Connects to the numeric IPv4 address Host at Port, waiting at most ConnectTimeout();
  // OwnerHandle is kept and not used.
  // Raises: ESocketError when Host is no dotted address or the connection fails or is not
  // made in time, Exception
  // "Invalid port N" for a port outside 1 .. 65535.
  void Open(uintptr_t OwnerHandle, const std::string& Host, int32_t Port);
  void Close();

  // One request header: TotalLength = PayloadLength + 520, "LocalHost", "Application",
  // Command, written in one piece.
  // Raises: ESocketError when the write fails (the client is then no longer connected).
  void SendHeader(int32_t Command, int32_t PayloadLength);
  // CMD_START_SCAN with the request: a new scan session. One still open is ended first
  // (CMD_STOP_SCAN), so that the control panel takes the request afresh.
  void SendSettings(const TScanRequest& Request);
  // CMD_STOP_SCAN when a session is open.
  void EndSession();

  // The four readers: the page or original, or nullptr when the control panel has none, the
  // reply is refused, or the connection is lost or the reply does not come in time.
  // Raises: SendHeader's error when the request cannot be written.
  win32::HGLOBAL ReceivePage();
  win32::HGLOBAL ReceivePageFile();
  win32::HGLOBAL ReceiveOriginal();
  win32::HGLOBAL ReceiveOriginalFile();
  // The file variants when Host is a loopback address (127.x.y.z), else the byte variants;
  // also the byte variants once a file reply named a file outside this process's temporary
  // directory, which the client may load but not delete.
  win32::HGLOBAL RequestPage();
  win32::HGLOBAL RequestOriginal();
  // Why the last reader brought no page, in words: the control panel's own reason when it
  // answered without a page (asked with CMD_GET_REFUSAL), else what happened to the connection
  // or the reply. Raises: SendHeader's error when the question cannot be written.
  std::string FailureReason();

  const std::string& Host() const { return FHost; }
  uintptr_t OwnerHandle() const { return FOwnerHandle; }
  bool SessionOpen() const { return FSessionOpen; }
  bool Connected() const { return FSocket.Connected(); }
  int ReplyTimeout() const { return FReplyTimeoutMs; }
  void SetReplyTimeout(int Milliseconds) { FReplyTimeoutMs = Milliseconds; }
  int ConnectTimeout() const { return FConnectTimeoutMs; }
  void SetConnectTimeout(int Milliseconds) { FConnectTimeoutMs = Milliseconds; }

  TQualityReview QualityReview;
  // What the default review fetches the original with; empty: RequestOriginal of this client.
  TFetchOriginal FetchOriginal;

 private:
  bool UsesFiles() const;
  // The request of a reader: with the temporary directory for a file variant.
  void SendFetch(int32_t Command);
  // The header of Command with PayloadLength, then Size bytes of Payload, in one write.
  void SendRequest(int32_t Command, const void* Payload, size_t Size, int32_t PayloadLength);
  // One reader: the request of Command and its reply, with the QCFailed byte when Flagged,
  // naming a file when File.
  win32::HGLOBAL Receive(int32_t Command, bool Flagged, bool File);
  // Sends the request of Command and takes the first complete reply into Message; false when
  // none came. A reply longer than Longest, or with a length no message has, ends the
  // connection.
  // TimeoutMs bounds the wait; KeepWhenSilent: a reply that has not begun by then leaves the
  // connection open.
  bool ReadReply(int32_t Command, int64_t Longest, std::string& Message, int TimeoutMs,
                 bool KeepWhenSilent = false);
  // The control panel's reason for its last reply without a page; empty when it gives none.
  std::string AskRefusal();
  // The page of a page reply (Flagged: with the QCFailed byte), nullptr for none.
  win32::HGLOBAL ParseReply(const std::string& Message, bool Flagged, bool File);
  void Review(TDIB& Page);

  std::string FHost;
  int32_t FPort = 0;
  TTcpClient FSocket;
  std::string FFailure;
  bool FAnsweredWithoutPage = false;
  bool FNoRefusals = false;
  bool FFilesElsewhere = false;
  bool FSessionOpen = false;
  uintptr_t FOwnerHandle = 0;
  int FReplyTimeoutMs = kDefaultReplyTimeoutMs;
  int FConnectTimeoutMs = kConnectTimeoutMs;
};

// The page of a complete reply into Page; false when the reply holds none (a length of 0 or
// less, a data length beyond the message, a refused path). Flagged: a page reply, whose
// QCFailed byte goes to QCFailed. File: the reply names a served file, loaded and then deleted;
// or a ".tmp" file elsewhere (an absolute path without "." or ".." steps, a regular file and
// no link), loaded and left to the control panel, which deletes its files that no one took.
// Raises: the loaders' texts for data that is no image, or a file that does not load (which
// is then kept).
bool ReadReplyPage(const std::string& Message, bool Flagged, bool File, TDIB& Page,
                   uint8_t& QCFailed);

// Whether Host is a dotted IPv4 address of the loopback network 127.0.0.0/8.
bool IsLoopbackHost(const std::string& Host);

// True when Path names a ".tmp" file right in the system's temporary directory (no further
// folder, no "." or ".." step) that is a regular file and no link: the only files that the
// client deletes after loading.
bool IsServedTempFile(const std::string& Path);
