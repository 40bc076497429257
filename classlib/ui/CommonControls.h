// The common control classes (status bar, progress bar, list view, ...) are
// registered once per process before the first dialog or control needs them.
#pragma once

void InitCommonControlsOnce();
