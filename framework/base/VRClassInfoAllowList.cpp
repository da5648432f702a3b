// VRClassInfo: the allow-list, every class of the framework a name may stand for.
#include "framework/base/VRClassInfo.h"

// The list names every class of the framework, so this one file of base includes the other
// rooms.
#include "framework/model/QntConnector.h"
#include "framework/model/QntConnectorArrow.h"
#include "framework/model/QntConnectorDoubleText.h"
#include "framework/model/QntConnectorShape.h"
#include "framework/model/QntConnectorSkin.h"
#include "framework/model/QntConnectorStylizedPath.h"
#include "framework/model/QntDecoratedSeparator.h"
#include "framework/model/QntDirectlyDrawedElement.h"
#include "framework/model/QntElement.h"
#include "framework/model/QntElementArrow.h"
#include "framework/model/QntElementTable.h"
#include "framework/model/QntFreeConnector.h"
#include "framework/model/QntImageShape.h"
#include "framework/model/QntText.h"
#include "framework/model/QntTextCell.h"
#include "framework/model/QntTextShape.h"
#include "framework/model/QntUMLSequenceElement.h"
#include "framework/model/VRDrawableObject.h"
#include "framework/model/VRDrawablePath.h"
#include "framework/model/VRDrawableShape.h"
#include "framework/model/VRGridLayer.h"
#include "framework/model/VRGuideLayer.h"
#include "framework/model/VRImageShape.h"
#include "framework/model/VRLayer.h"
#include "framework/model/VRObjectDrawingLayer.h"
#include "framework/model/VRObjectOwnerLayer.h"
#include "framework/model/VRShapeGroup.h"
#include "framework/model/VRTextShape.h"
#include "framework/styles/QntConnectorStyle.h"
#include "framework/styles/QntPathDecorator.h"
#include "framework/styles/VRArrowStroke.h"
#include "framework/styles/VRCIFilterRastGroup.h"
#include "framework/styles/VRFill.h"
#include "framework/styles/VRFillPattern.h"
#include "framework/styles/VRHatching.h"
#include "framework/styles/VRImageAdornment.h"
#include "framework/styles/VRPathDecorator.h"
#include "framework/styles/VRQuartzBlendRastGroup.h"
#include "framework/styles/VRRastGroup.h"
#include "framework/styles/VRRasterizer.h"
#include "framework/styles/VRRoughStroke.h"
#include "framework/styles/VRStroke.h"
#include "framework/styles/VRStyle.h"
#include "framework/styles/VRTextAdornment.h"
#include "framework/styles/VRZigZagFill.h"
#include "framework/styles/VRZigZagStroke.h"
#include "framework/undo/VKConcreteUndoTask.h"
#include "framework/undo/VKUndoGroup.h"
#include "framework/undo/VKUndoTask.h"
#include "framework/view/QntConnectorTool.h"
#include "framework/view/QntStickySpotInsertDeleteTool.h"
#include "framework/view/QntStyleCopyingTool.h"
#include "framework/view/VRDrawingTool.h"
#include "framework/view/VRObjectCreationTool.h"
#include "framework/view/VRPanTool.h"
#include "framework/view/VRPathEditTool.h"
#include "framework/view/VRSelectAndEditTool.h"
#include "framework/view/VRZoomTool.h"

// Built once, on first use, and never changed after: readers on worker threads share it.
const QHash<QString, const VRClassInfo *> &VRClassInfo::allowList()
{
    static const QHash<QString, const VRClassInfo *> classes = [] {
        const VRClassInfo *const list[] = {
            &QntConnector::staticClass(),
            &QntConnectorArrow::staticClass(),
            &QntConnectorDoubleText::staticClass(),
            &QntConnectorShape::staticClass(),
            &QntConnectorSkin::staticClass(),
            &QntConnectorStylizedPath::staticClass(),
            &QntDecoratedSeparator::staticClass(),
            &QntDirectlyDrawedElement::staticClass(),
            &QntElement::staticClass(),
            &QntElementArrow::staticClass(),
            &QntElementTable::staticClass(),
            &QntFreeConnector::staticClass(),
            &QntImageShape::staticClass(),
            &QntText::staticClass(),
            &QntTextCell::staticClass(),
            &QntTextShape::staticClass(),
            &QntUMLSequenceElement::staticClass(),
            &VRBSPObjectStorage::staticClass(),
            &VRDrawableObject::staticClass(),
            &VRDrawablePath::staticClass(),
            &VRDrawableShape::staticClass(),
            &VRGridLayer::staticClass(),
            &VRGuideLayer::staticClass(),
            &VRImageShape::staticClass(),
            &VRLayer::staticClass(),
            &VRLinearObjectStorage::staticClass(),
            &VRObjectDrawingLayer::staticClass(),
            &VRObjectOwnerLayer::staticClass(),
            &VRObjectStorage::staticClass(),
            &VRShapeGroup::staticClass(),
            &VRTextShape::staticClass(),
            &QntConnectorStyle::staticClass(),
            &QntPathDecorator::staticClass(),
            &VRArrowStroke::staticClass(),
            &VRCIFilterRastGroup::staticClass(),
            &VRFill::staticClass(),
            &VRFillPattern::staticClass(),
            &VRHatching::staticClass(),
            &VRImageAdornment::staticClass(),
            &VRPathDecorator::staticClass(),
            &VRQuartzBlendRastGroup::staticClass(),
            &VRRastGroup::staticClass(),
            &VRRasterizer::staticClass(),
            &VRRoughStroke::staticClass(),
            &VRStroke::staticClass(),
            &VRStyle::staticClass(),
            &VRTextAdornment::staticClass(),
            &VRZigZagFill::staticClass(),
            &VRZigZagStroke::staticClass(),
            &VKConcreteUndoTask::staticClass(),
            &VKUndoGroup::staticClass(),
            &VKUndoTask::staticClass(),
            &QntConnectorTool::staticClass(),
            &QntStickySpotInsertDeleteTool::staticClass(),
            &QntStyleCopyingTool::staticClass(),
            &VRDrawingTool::staticClass(),
            &VRObjectCreationTool::staticClass(),
            &VRPanTool::staticClass(),
            &VRPathEditTool::staticClass(),
            &VRSelectAndEditTool::staticClass(),
            &VRZoomTool::staticClass(),
        };
        QHash<QString, const VRClassInfo *> byName;
        for (const VRClassInfo *info : list)
            byName.insert(QString::fromLatin1(info->name), info);
        return byName;
    }();
    return classes;
}
