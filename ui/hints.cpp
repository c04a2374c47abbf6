#include "ui/unit1.h"

void TForm1::createhints() {}
