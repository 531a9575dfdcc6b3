#include "app/windows.h"

#include "dialogs/form4.h"
#include "dialogs/form5.h"
#include "dialogs/frmabout.h"
#include "mailcheck/form1.h"
#include "notifier/form2.h"
#include "notifier/form3.h"

#include <QPointer>

namespace {

QPointer<Form1> s_form1;
QPointer<Form2> s_form2;
QPointer<Form3> s_form3;
QPointer<Form4> s_form4;
QPointer<Form5> s_form5;
QPointer<frmAbout> s_about;

template <typename W> void destroyNow(QPointer<W>& window)
{
    delete window.data();
    window.clear();
}

} // namespace

Form1& form1()
{
    if (!s_form1)
        s_form1 = new Form1;
    return *s_form1;
}

Form2& form2()
{
    if (!s_form2) {
        s_form2 = new Form2;
        s_form2->Form_Load();
    }
    return *s_form2;
}

Form3& form3()
{
    if (!s_form3)
        s_form3 = new Form3;
    return *s_form3;
}

Form4& form4()
{
    if (!s_form4)
        s_form4 = new Form4;
    return *s_form4;
}

Form5& form5()
{
    if (!s_form5)
        s_form5 = new Form5;
    return *s_form5;
}

frmAbout& aboutWindow()
{
    if (!s_about) {
        s_about = new frmAbout;
        s_about->Form_Load();
    }
    return *s_about;
}

bool form2Exists()
{
    return !s_form2.isNull();
}

bool form5Exists()
{
    return !s_form5.isNull();
}

bool aboutWindowExists()
{
    return !s_about.isNull();
}

void unloadForm5()
{
    if (s_form5) {
        s_form5->hide();
        s_form5->deleteLater();
        s_form5.clear();
    }
}

void unloadAboutWindow()
{
    if (s_about) {
        s_about->hide();
        s_about->deleteLater();
        s_about.clear();
    }
}

void unloadAllWindows()
{
    destroyNow(s_about);
    destroyNow(s_form5);
    destroyNow(s_form4);
    destroyNow(s_form2);
    destroyNow(s_form1);
    destroyNow(s_form3);
}
