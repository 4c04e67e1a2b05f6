#pragma once
#include "wnd.h"

// A static control; the busy indicator draws itself over one.
class CStatic : public CWnd {};
