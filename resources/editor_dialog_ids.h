#pragma once
// Resource identifiers shared by the resource script and the code that loads
// the resources. A plain macro, since the resource compiler reads it too.
#define TOLVAR_EDITOR_DIALOG 101
