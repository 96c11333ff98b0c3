// The installer's contact with Windows: detection of the language and the Windows kind, and the
// driver installation through the setup service.
#pragma once

#include <string>

// Set by the detection routines, read by the others.
extern int g_osKind;   // ferrodin::kOs*
extern int g_langKind; // ferrodin::kLang*

void detectLanguage();
void detectWindowsKind();
// 1 when the installation is judged successful, 0 otherwise (also when none was attempted).
int installDriver();
