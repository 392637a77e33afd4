#include "core/app.h"

int main() { return app_main(); }
