#pragma once
// Helpers shared by the units that make up THexEditor (Hexcontrol.cpp,
// Hexinput.cpp, Hexpaint.cpp); not part of the control's interface.

// Divisor for the cursor, word and scroll arithmetic: a line or group of
// less than one byte lays out nothing (the paint shows the layout message).
inline int SafeDivisor(int n)
{
    return n > 0 ? n : 1;
}
