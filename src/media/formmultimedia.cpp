#include "editor/dialogues.h"
#include "editor/formedit.h"

void BoutMultimedia_Click(FormEdit &) {}
