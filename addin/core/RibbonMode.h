// Whether the host draws the add-in's commands on its ribbon: set the first
// time the host takes the add-in's ribbon interface, and from then on new
// mail inspectors get no command bar of ours (the ribbon has the button).
#pragma once

bool IsRibbonMode();
void SetRibbonMode(bool on);
