// The requests the module may make of its host. Without a host callback each does nothing and
// answers 0 or false (CallAudioMaster answers 0).
#include "framework/DVST2Module.h"

bool TCustomVST2Module::Automate(int32_t index, float normalized) {
  return CallAudioMaster(audioMasterAutomate, index, 0, nullptr, normalized) != 0;
}

int32_t TCustomVST2Module::GetMasterVersion() {
  const VstIntPtr version = CallAudioMaster(audioMasterVersion);
  return version == 0 ? 1 : static_cast<int32_t>(version);
}

VstIntPtr TCustomVST2Module::GetCurrentUniqueId() {
  return CallAudioMaster(audioMasterCurrentId);
}
void TCustomVST2Module::MasterIdle() {
  CallAudioMaster(audioMasterIdle);
}

bool TCustomVST2Module::IsPinConnected(int32_t index, bool output) {
  return CallAudioMaster(audioMasterPinConnected, index, output ? 1 : 0) == 0;
}

void TCustomVST2Module::WantEvents(VstIntPtr filter) {
  CallAudioMaster(audioMasterWantMidi, 0, filter);
}

VstTimeInfo* TCustomVST2Module::GetTimeInfo(VstIntPtr filter) {
  return reinterpret_cast<VstTimeInfo*>(CallAudioMaster(audioMasterGetTime, 0, filter));
}

bool TCustomVST2Module::SendVstEventsToHost(VstEvents* events) {
  return CallAudioMaster(audioMasterProcessEvents, 0, 0, events) == 1;
}

void TCustomVST2Module::SetTimeInfo(VstIntPtr filter, VstTimeInfo* info) {
  CallAudioMaster(audioMasterSetTime, 0, filter, info);
}

VstIntPtr TCustomVST2Module::TempoAt(VstIntPtr samplePosition) {
  return CallAudioMaster(audioMasterTempoAt, 0, samplePosition);
}

VstIntPtr TCustomVST2Module::GetNumAutomatableParameters() {
  return CallAudioMaster(audioMasterGetNumAutomatableParameters);
}

VstIntPtr TCustomVST2Module::GetParameterQuantization() {
  return CallAudioMaster(audioMasterGetParameterQuantization);
}

bool TCustomVST2Module::IOChanged() {
  return CallAudioMaster(audioMasterIOChanged) != 0;
}
bool TCustomVST2Module::NeedIdle() {
  return CallAudioMaster(audioMasterNeedIdle) != 0;
}

bool TCustomVST2Module::SizeWindow(int32_t width, int32_t height) {
  return CallAudioMaster(audioMasterSizeWindow, width, height) != 0;
}

float TCustomVST2Module::UpdateSampleRate() {
  const VstIntPtr rate = CallAudioMaster(audioMasterGetSampleRate);
  if (rate > 0)
    SetSampleRate(static_cast<float>(rate));
  return SampleRate();
}

int32_t TCustomVST2Module::UpdateBlockSize() {
  const VstIntPtr size = CallAudioMaster(audioMasterGetBlockSize);
  if (size > 0 && size <= INT32_MAX)
    SetBlockSize(static_cast<int32_t>(size));
  return BlockSize();
}

VstIntPtr TCustomVST2Module::GetInputLatency() {
  return CallAudioMaster(audioMasterGetInputLatency);
}
VstIntPtr TCustomVST2Module::GetOutputLatency() {
  return CallAudioMaster(audioMasterGetOutputLatency);
}
VstIntPtr TCustomVST2Module::GetPreviousPlug() {
  return CallAudioMaster(audioMasterGetPreviousPlug);
}
VstIntPtr TCustomVST2Module::GetNextPlug() {
  return CallAudioMaster(audioMasterGetNextPlug);
}
VstIntPtr TCustomVST2Module::WillReplaceOrAccumulate() {
  return CallAudioMaster(audioMasterWillReplaceOrAccumulate);
}
VstIntPtr TCustomVST2Module::GetCurrentProcessLevel() {
  return CallAudioMaster(audioMasterGetCurrentProcessLevel);
}
VstIntPtr TCustomVST2Module::GetAutomationState() {
  return CallAudioMaster(audioMasterGetAutomationState);
}

bool TCustomVST2Module::OfflineStart(int32_t index, VstIntPtr value, void* ptr) {
  return CallAudioMaster(audioMasterOfflineStart, index, value, ptr) != 0;
}

bool TCustomVST2Module::OfflineRead(VstOfflineTask* task, VstIntPtr option, bool readSource) {
  return CallAudioMaster(audioMasterOfflineRead, readSource ? 1 : 0, option, task) != 0;
}

bool TCustomVST2Module::OfflineWrite(VstOfflineTask* task, VstIntPtr option) {
  return CallAudioMaster(audioMasterOfflineWrite, 0, option, task) != 0;
}

bool TCustomVST2Module::OfflineGetCurrentPass() {
  return CallAudioMaster(audioMasterOfflineGetCurrentPass) != 0;
}

bool TCustomVST2Module::OfflineGetCurrentMetaPass() {
  return CallAudioMaster(audioMasterOfflineGetCurrentMetaPass) != 0;
}

void TCustomVST2Module::SetOutputSampleRate(float rate) {
  CallAudioMaster(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

VstIntPtr TCustomVST2Module::GetOutputSpeakerArrangement() {
  return CallAudioMaster(audioMasterGetOutputSpeakerArrangement);
}

bool TCustomVST2Module::GetHostVendorString(char* text) {
  return CallAudioMaster(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool TCustomVST2Module::GetHostProductString(char* text) {
  return CallAudioMaster(audioMasterGetProductString, 0, 0, text) != 0;
}

VstIntPtr TCustomVST2Module::GetHostVendorVersion() {
  return CallAudioMaster(audioMasterGetVendorVersion);
}

VstIntPtr TCustomVST2Module::HostVendorSpecific(int32_t index, VstIntPtr value, void* ptr,
                                                float opt) {
  return CallAudioMaster(audioMasterVendorSpecific, index, value, ptr, opt);
}

VstIntPtr TCustomVST2Module::CanHostDo(const char* text) {
  return CallAudioMaster(audioMasterCanDo, 0, 0, const_cast<char*>(text));
}

VstIntPtr TCustomVST2Module::GetHostLanguage() {
  return CallAudioMaster(audioMasterGetLanguage);
}

VstIntPtr TCustomVST2Module::OpenWindow(void* window) {
  return CallAudioMaster(audioMasterOpenWindow, 0, 0, window);
}

bool TCustomVST2Module::CloseWindow(void* window) {
  return CallAudioMaster(audioMasterCloseWindow, 0, 0, window) != 0;
}

VstIntPtr TCustomVST2Module::GetDirectory() {
  return CallAudioMaster(audioMasterGetDirectory);
}
bool TCustomVST2Module::UpdateDisplay() {
  return CallAudioMaster(audioMasterUpdateDisplay) != 0;
}

bool TCustomVST2Module::OpenFileSelector(void* selector) {
  return selector && CallAudioMaster(audioMasterOpenFileSelector, 0, 0, selector) != 0;
}

VstIntPtr TCustomVST2Module::GetInputSpeakerArrangement() {
  return CallAudioMaster(audioMasterGetInputSpeakerArrangement);
}
