// The application object: shows the main dialog, and the program ends when it closes.
#pragma once

#include "app/win32/framework/win_app.h"

namespace kestrava {

class CKestravaApp : public ui::CWinApp {
 public:
  BOOL InitInstance() override;
};

}  // namespace kestrava
