#include "app/prompts.h"

#include "app/runtimeerror.h"

void showGeneralError(IPrompts &prompts, const RuntimeError &error)
{
    prompts.error(generalErrorText(error));
}
