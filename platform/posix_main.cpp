// The native entry: the same single pass, arguments ignored.
#include "platform/posix_names.h"
#include "ui/main_flow.h"

int main()
{
    keep_settings();
    return main_flow();
}
