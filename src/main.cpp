#include "app/Application.h"

int main(int argc, char **argv)
{
    return zorv::runApplication(argc, argv);
}
