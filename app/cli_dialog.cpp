#include "app/cli_dialog.h"
