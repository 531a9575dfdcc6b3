#pragma once

class Form1;
class Form2;
class Form3;
class Form4;
class Form5;
class frmAbout;

// One accessor per window. The first use creates the window, hidden, with every control at its
// value at creation; a load handler (Form2, frmAbout) runs before the use takes effect.
Form1& form1();
Form2& form2();
Form3& form3();
Form4& form4();
Form5& form5();
frmAbout& aboutWindow();

// Whether a window exists now, without creating it.
bool form2Exists();
bool form5Exists();
bool aboutWindowExists();

// Windows that the program destroys: the next use creates a fresh one.
void unloadForm5();
void unloadAboutWindow();

// Destroys every window without running close handlers: the program's end, and a clean slate
// between tests.
void unloadAllWindows();
