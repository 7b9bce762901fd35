#include "app/win32/kestrava_app.h"

#include <commctrl.h>

#include "app/win32/kestrava_dlg.h"

namespace kestrava {

BOOL CKestravaApp::InitInstance() {
  // The status bar is a common control: its window class must exist before the dialog.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  CWinApp::InitInstance();

  CKestravaDlg dialog;
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  // Returning FALSE ends the program: the dialog was its only window.
  return FALSE;
}

}  // namespace kestrava
