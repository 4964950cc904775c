// What the dialog tests share: settings and a temporary directory of the test's own, message
// boxes answered and recorded by the test, and a control panel of the test's own that serves
// pages as files or bytes.
#pragma once

#include <gtest/gtest.h>

#include <QLocale>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "ScanProtocol.h"
#include "askedmessages.h"
#include "fakepanel.h"
#include "registry.h"
#include "uDSUserInterface.h"

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Config.isValid());
    ASSERT_TRUE(Temp.isValid());
    ::setenv("CLARIVO_CONFIG_DIR", Config.path().toUtf8().constData(), 1);
    ::setenv("TMPDIR", Temp.path().toUtf8().constData(), 1);
  }
  void TearDown() override {
    Form.reset();
    QLocale::setDefault(QLocale::c());
    ::unsetenv("TMPDIR");
  }

  void Store(const QString& Section, const QString& Ident, const QString& Value) {
    TRegIniFile reg(TFormSource::RegistryKey);
    reg.WriteString(Section, Ident, Value);
    reg.UpdateFile();
  }
  QString Stored(const QString& Section, const QString& Ident) {
    return TRegIniFile(TFormSource::RegistryKey).ReadString(Section, Ident, "<missing>");
  }
  // The panel the form finds through "Local Port"; it serves Pages in turn as files, then
  // answers without a page, and tells Refusal when asked why (never answers: nullptr).
  static constexpr const char* kRefusal = "The scanner is jammed";
  TFakePanel& Panel(std::vector<TBytes> Pages = {}, const char* Refusal = kRefusal) {
    auto pages = std::make_shared<std::vector<TBytes>>(std::move(Pages));
    auto next = std::make_shared<size_t>(0);
    const std::string folder = Temp.path().toStdString();
    FPanel = std::make_unique<TFakePanel>([=](const TSeenRequest& Request, TTcpSocket& Socket) {
      const int32_t command = Request.Command();
      if (command == CMD_GET_REFUSAL && Refusal != nullptr) {
        const TBytes text = Refusal;
        const TBytes reply = OriginalReply(text);
        Socket.SendBuffer(reply.data(), reply.size());
      }
      if (command != CMD_GET_PAGE_FILE && command != CMD_GET_ORIGINAL_FILE) return;
      std::string path;
      if (*next < pages->size()) {
        path = folder + "/page" + std::to_string(*next) + ".tmp";
        std::ofstream(path, std::ios::binary) << (*pages)[(*next)++];
      }
      const int32_t fixed = command == CMD_GET_PAGE_FILE ? 9 : 8;
      TBytes reply = Int32Bytes(static_cast<int32_t>(path.size()) + fixed);
      if (command == CMD_GET_PAGE_FILE) reply += TBytes(1, '\0');
      reply += Int32Bytes(static_cast<int32_t>(path.size())) + path;
      Socket.SendBuffer(reply.data(), reply.size());
    });
    Store("Server", "Local Port", QString::number(FPanel->Port()));
    return *FPanel;
  }
  // A port on which nothing listens.
  static uint16_t DeadPort() {
    TFakePanel closed(nullptr);
    return closed.Port();
  }
  TFormSource& Make() {
    Form = std::make_unique<TFormSource>();
    return *Form;
  }

  QTemporaryDir Config, Temp;
  std::unique_ptr<TFakePanel> FPanel;
  std::unique_ptr<TFormSource> Form;
  TAskedMessages Messages;
  std::vector<QString>& Asked = Messages.Texts;
};
