// Ids of the calendar, countdown, alarm and About dialogs.
#pragma once
