// Hands each of the page's documents its answers. |answers| holds runs of five:
// document key, id, success, code, text; a run for a document not in |documents|
// (key -> {deliver}) is dropped. Each document gets its records (records.js) in
// order, in one call of its deliver(), or in several of about |limit| characters.
function deliverAnswers(answers, documents, limit) {
  if (!Array.isArray(answers)) return;
  var records = new Map();  // document -> its records not yet delivered
  for (var i = 0; i + 4 < answers.length; i += 5) {
    var doc = documents[answers[i]];
    if (!doc) continue;
    var text = (records.get(doc) || '') +
               answerRecord(answers[i + 1], answers[i + 2], answers[i + 3], answers[i + 4]);
    if (text.length >= limit) {
      doc.deliver(text);
      text = '';
    }
    records.set(doc, text);
  }
  records.forEach(function (text, doc) {
    if (text) doc.deliver(text);
  });
}
