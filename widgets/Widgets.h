#pragma once
// The whole component layer.

#include "widgets/Application.h"
#include "widgets/Button.h"
#include "widgets/Canvas.h"
#include "widgets/Component.h"
#include "widgets/Control.h"
#include "widgets/Event.h"
#include "widgets/Exception.h"
#include "widgets/Form.h"
#include "widgets/FormStream.h"
#include "widgets/Memo.h"
#include "widgets/PaintBox.h"
#include "widgets/Resources.h"
#include "widgets/Panel.h"
#include "widgets/Splitter.h"
#include "widgets/StringGrid.h"
#include "widgets/Types.h"
