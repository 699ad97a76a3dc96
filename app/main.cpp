#include "app/ffmpegexec.h"

int main(int argc, char **argv)
{
    return FFmpegExec(argc, argv);
}
