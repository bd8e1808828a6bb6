// Whether |text| takes more than |limit| bytes of UTF-8, found without
// encoding all of it. A UTF-16 code unit takes at least one byte of UTF-8 and at
// most three. In between, the text is encoded a piece at a time into one small
// buffer, which allocates nothing as long as the text. A piece never ends
// between the two halves of a surrogate pair.
var encoder = new TextEncoder();
var encodeInto = TextEncoder.prototype.encodeInto;
var charCodeAt = String.prototype.charCodeAt;
var Uint8ArrayType = Uint8Array;

var PIECE = 16384;
var pieceBuffer = null;
function isTooLong(text, limit) {
  if (text.length > limit) return true;
  if (text.length * 3 <= limit) return false;
  if (!pieceBuffer) pieceBuffer = new Uint8ArrayType(PIECE * 3 + 3);
  var bytes = 0;
  for (var start = 0; start < text.length && bytes <= limit;) {
    var end = start + PIECE;
    if (end < text.length) {
      var last = apply(charCodeAt, text, [end - 1]);
      if (last >= 0xd800 && last <= 0xdbff) end++;
    }
    bytes += apply(encodeInto, encoder, [apply(slice, text, [start, end]), pieceBuffer]).written;
    start = end;
  }
  return bytes > limit;
}
