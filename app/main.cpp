// The program's entry: no command line, one window, the event loop.
#include "Unit1.h"

int main()
{
    toolkit::Application->Initialize();
    toolkit::Application->CreateForm(Form1);
    toolkit::Application->Run();
    return 0;
}
