// Swaps a picture while the pointer is over it.
function swap(img, other) {
    var original = img.src;
    img.src = other;
    img.onmouseout = function () { img.src = original; };
}
var helpPage = "../docs/guide/index.html";
