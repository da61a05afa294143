"""What the end-to-end listeners share: walking the accessible tree an application shows over AT-SPI."""


def descendants(node):
    for index in range(node.childCount):
        child = node.getChildAtIndex(index)
        if child is not None:
            yield child
            yield from descendants(child)
