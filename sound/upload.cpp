#include "ui/unit1.h"

void TForm1::createupload() {}
void TForm1::Button6Click() {}
void TForm1::Button8Click() {}
void TForm1::buttonswitch(bool) {}
