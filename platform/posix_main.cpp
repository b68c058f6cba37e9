// The native entry: the same single pass, arguments ignored.
#include "ui/main_flow.h"

int main()
{
    return main_flow();
}
