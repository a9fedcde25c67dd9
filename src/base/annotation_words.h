// Annotation words (why a call was answered, declined or ended) that more
// than one subsystem writes or reads. Words of one subsystem alone stay in
// that subsystem's text header.
#pragma once

namespace imsdkmrtc {
namespace texts {

constexpr char kAccept[] = "accept";
constexpr char kRefuse[] = "refuse";
constexpr char kBusy[] = "busy";
constexpr char kFarUiRefuse[] = "far_ui_refuse";
constexpr char kCancelCallTimeout[] = "cancel_calltimeout";
constexpr char kCancelUiClick[] = "cancel_uiclick";
constexpr char kHungupUiClick[] = "hungup_uiclick";
constexpr char kFarVersionFail[] = "far_sdk_versionmatchfail";

}  // namespace texts
}  // namespace imsdkmrtc
