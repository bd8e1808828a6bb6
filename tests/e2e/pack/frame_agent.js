// Runs cefQuery inside this frame on the parent's behalf and reports back by
// postMessage, so the call really originates from this frame's own context.
(function () {
  window.addEventListener('message', function (e) {
    var d = e.data;
    if (!d || d.kind !== 'query') return;
    var reply = function (body) {
      body.kind = 'answer';
      body.id = d.id;
      e.source.postMessage(body, '*');
    };
    if (typeof window.cefQuery !== 'function') {
      reply({missing: true});
      return;
    }
    window.cefQuery({
      request: d.request,
      persistent: !!d.persistent,
      onSuccess: function (response) { reply({success: response, type: typeof response}); },
      onFailure: function (code, message) { reply({failure: [code, message]}); }
    });
  });
  parent.postMessage({kind: 'ready', href: String(location.href)}, '*');
})();
