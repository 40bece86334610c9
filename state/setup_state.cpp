#include "state/setup_state.h"

SetupState setupState;
