#include "common/prompts.h"

#include "common/errors.h"

void showGeneralError(IPrompts &prompts, const RuntimeError &error)
{
    prompts.error(generalErrorText(error));
}

void showRefusal(IPrompts &prompts, const Refusal &refusal)
{
    if (refusal.style() == Refusal::Style::Notice)
        prompts.notice(refusal.message());
    else
        prompts.error(refusal.message());
}
