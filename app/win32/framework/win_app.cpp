#include "app/win32/framework/win_app.h"

#include <process.h>

#include <memory>

namespace kestrava::ui {

namespace {
CWinApp* theApplication = nullptr;
}  // namespace

CWinApp::CWinApp() { theApplication = this; }

CWinApp::~CWinApp() {
  if (theApplication == this) theApplication = nullptr;
}

int CWinApp::Run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

CWinApp* AfxGetApp() { return theApplication; }

HINSTANCE AfxGetResourceHandle() {
  if (theApplication && theApplication->m_hInstance) return theApplication->m_hInstance;
  return GetModuleHandleW(nullptr);
}

int AfxWinMain(HINSTANCE instance) {
  CWinApp* application = AfxGetApp();
  if (!application) return 1;
  application->m_hInstance = instance;
  if (!application->InitInstance()) return 0;
  return application->Run();
}

namespace {

struct ThreadStart {
  unsigned (*procedure)(void*);
  void* parameter;
};

unsigned __stdcall threadEntry(void* start) {
  // The new thread owns its start record from here on.
  const std::unique_ptr<ThreadStart> owned(static_cast<ThreadStart*>(start));
  return owned->procedure(owned->parameter);
}

}  // namespace

HANDLE AfxBeginThread(unsigned (*procedure)(void*), void* parameter) {
  auto start = std::make_unique<ThreadStart>(ThreadStart{procedure, parameter});
  // _beginthreadex rather than CreateThread: the thread uses the C run-time.
  uintptr_t handle = _beginthreadex(nullptr, 0, threadEntry, start.get(), 0, nullptr);
  if (handle == 0) return nullptr;
  // Started: the thread has taken the record over.
  static_cast<void>(start.release());
  return reinterpret_cast<HANDLE>(handle);
}

void AfxWaitAnsweringSentMessages(HANDLE handle) {
  for (;;) {
    DWORD woken = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_SENDMESSAGE);
    if (woken != WAIT_OBJECT_0 + 1) return;  // signalled, or the wait itself failed
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

bool AfxWaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    ULONGLONG now = GetTickCount64();
    DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
    DWORD woken = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
    if (woken == WAIT_OBJECT_0) return true;
    if (woken != WAIT_OBJECT_0 + 1) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace kestrava::ui
