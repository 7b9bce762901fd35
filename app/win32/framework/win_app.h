// The application object of a Windows program: one global instance whose InitInstance
// runs the program from WinMain.
#pragma once

#include <windows.h>

namespace kestrava::ui {

class CWnd;

class CWinApp {
 public:
  CWinApp();  // registers the instance as the program's application
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Runs the program; FALSE ends it without a message loop of the application's own.
  virtual BOOL InitInstance() { return TRUE; }

  // The message loop, entered only when InitInstance returned TRUE; gives WM_QUIT's code.
  virtual int Run();

  HINSTANCE m_hInstance = nullptr;
  CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();

// The module the program's resources (dialog template, icon) are loaded from.
HINSTANCE AfxGetResourceHandle();

// Called by WinMain.
int AfxWinMain(HINSTANCE instance);

// Starts `procedure(parameter)` on a new thread at normal priority and returns its
// handle (the caller closes it), or null when no thread could be started.
HANDLE AfxBeginThread(unsigned (*procedure)(void*), void* parameter);

// Waits until `handle` is signalled while still answering messages that other threads
// send to this thread's windows, so a worker blocked in SendMessage cannot deadlock
// the wait.
void AfxWaitAnsweringSentMessages(HANDLE handle);

// The same for at most `timeoutMs`; true when `handle` was signalled.
bool AfxWaitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs);

}  // namespace kestrava::ui
