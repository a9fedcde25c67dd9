// The interface through which the host drives a plug-in: 27 virtual slots in
// slot order (slot 26 is the destructor).
//
// Words that carry addresses are pointer-sized (uintptr_t). The host may call
// the slots from several threads.
#pragma once

#include <cstdint>
#include <string>

#include "host_service.h"
#include "sdk_cmd.h"

namespace imsdk {

class IPlugin {
 public:
  virtual void setHost(IHostService* host) = 0;                                  // 0
  virtual bool slot1(uint32_t, uint32_t) = 0;                                    // 1
  virtual std::string getName() = 0;                                             // 2
  virtual bool onRequest(uint16_t cmdId, uintptr_t payload, void* present) = 0;  // 3
  virtual int32_t onNotify(uint16_t type, uintptr_t a, uintptr_t b) = 0;         // 4
  virtual bool slot5(uintptr_t, uintptr_t, uintptr_t, uintptr_t) = 0;            // 5
  virtual bool onOther(uint16_t type, uintptr_t a, uintptr_t b) = 0;             // 6
  virtual bool onNetRequest(uint16_t cmdId, uintptr_t a, uintptr_t b) = 0;       // 7
  virtual bool slot8(uintptr_t) = 0;                                             // 8
  virtual void slot9(uintptr_t, uintptr_t, uintptr_t) = 0;                       // 9
  virtual void slot10(uintptr_t, uintptr_t, uintptr_t) = 0;                      // 10
  virtual bool slot11(uintptr_t, uintptr_t, uintptr_t, uintptr_t) = 0;           // 11
  virtual void onpostServer(uint16_t event, void* record) = 0;                   // 12
  virtual bool slot13(uintptr_t, uintptr_t, uintptr_t) = 0;                      // 13
  virtual _sdkcmd_base* cloneCmd(uint16_t cmdId, const _sdkcmd_base* source,
                                 uintptr_t unused) = 0;                                 // 14
  virtual _sdkcmd_base* createCmd(uint16_t cmdId, bool isRequest) = 0;                  // 15
  virtual void releaseCmd(uint16_t cmdId, _sdkcmd_base* record, uintptr_t unused) = 0;  // 16
  virtual bool slot17() = 0;                                                            // 17
  virtual bool slot18() = 0;                                                            // 18
  virtual bool slot19(uintptr_t) = 0;                                                   // 19
  virtual bool slot20() = 0;                                                            // 20
  virtual int32_t* getStamp(int32_t* slot) = 0;                                         // 21
  virtual int32_t slot22(uintptr_t, uintptr_t, uintptr_t) = 0;                          // 22
  virtual int32_t slot23(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t) = 0;    // 23
  virtual void slot24() = 0;                                                            // 24
  virtual void slot25(uintptr_t, uintptr_t, uintptr_t) = 0;                             // 25
  virtual ~IPlugin() = default;                                                         // 26
};

}  // namespace imsdk

extern "C" {
// Creates the plug-in; null when allocation fails.
imsdk::IPlugin* mrtcplugin_createPlugin();
// Stops the plug-in's timer thread, then destroys the plug-in. Null is ignored.
void mrtcplugin_releasePlugin(imsdk::IPlugin* plugin);
}
