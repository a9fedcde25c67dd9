// The plug-in as the host sees it through the shim: each slot is passed to
// the real plug-in and written to the trace with its records and answer.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "IPlugin.h"
#include "recording_host.h"

namespace mrtcrecord {

class RecordingPlugin : public imsdk::IPlugin {
 public:
  RecordingPlugin(imsdk::IPlugin* real, std::string client)
      : real_(real), client_(std::move(client)) {}
  ~RecordingPlugin() override = default;

  imsdk::IPlugin* real() const { return real_; }
  const std::string& client() const { return client_; }

  void setHost(imsdk::IHostService* host) override;
  bool slot1(uint32_t a, uint32_t b) override;
  std::string getName() override;
  bool onRequest(uint16_t cmdId, uintptr_t payload, void* present) override;
  int32_t onNotify(uint16_t type, uintptr_t a, uintptr_t b) override;
  bool slot5(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d) override;
  bool onOther(uint16_t type, uintptr_t a, uintptr_t b) override;
  bool onNetRequest(uint16_t cmdId, uintptr_t a, uintptr_t b) override;
  bool slot8(uintptr_t a) override;
  void slot9(uintptr_t a, uintptr_t b, uintptr_t c) override;
  void slot10(uintptr_t a, uintptr_t b, uintptr_t c) override;
  bool slot11(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d) override;
  void onpostServer(uint16_t event, void* record) override;
  bool slot13(uintptr_t a, uintptr_t b, uintptr_t c) override;
  imsdk::_sdkcmd_base* cloneCmd(uint16_t cmdId, const imsdk::_sdkcmd_base* source,
                                uintptr_t unused) override;
  imsdk::_sdkcmd_base* createCmd(uint16_t cmdId, bool isRequest) override;
  void releaseCmd(uint16_t cmdId, imsdk::_sdkcmd_base* record, uintptr_t unused) override;
  bool slot17() override;
  bool slot18() override;
  bool slot19(uintptr_t a) override;
  bool slot20() override;
  int32_t* getStamp(int32_t* slot) override;
  int32_t slot22(uintptr_t a, uintptr_t b, uintptr_t c) override;
  int32_t slot23(uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d, uintptr_t e) override;
  void slot24() override;
  void slot25(uintptr_t a, uintptr_t b, uintptr_t c) override;

 private:
  // Set once before the host's service object is handed on; the real plug-in
  // is the only one that keeps a pointer to the wrapper.
  imsdk::IPlugin* const real_;
  const std::string client_;
  // Every wrapper handed to the plug-in lives as long as the plug-in: a host
  // that sets itself again must not leave the plug-in with a dangling one.
  std::vector<std::unique_ptr<RecordingHost>> hosts_;
  // The host's inputs, one at a time (see InputTurn in the .cc). Taken only
  // by a thread outside every crossing, so it is the outermost lock: the
  // plug-in's own lock and the trace file's come after it.
  std::mutex inputs_;
};

}  // namespace mrtcrecord
