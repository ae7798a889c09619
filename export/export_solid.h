// The export behind the Tab key: the recorded profile and the axis become a
// solid of revolution written as "object.3ds".
#pragma once

// Rebuilds axis, rings and faces from axis_f and profile_store, then writes
// the file. Never fails loudly: a file that cannot be written is skipped.
void export_solid();
